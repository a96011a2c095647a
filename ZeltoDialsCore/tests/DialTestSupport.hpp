#pragma once

// Parameters that record every edit, and a hosting harness, for the dial tests.

#include "../../platform/declarative/tests/Support.hpp"
#include "ZeltoCore/AudioParameter.hpp"
#include "ZeltoCore/KitFonts.hpp"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace dialtest {

using zelto::AudioParameter;
using zelto::AudioUnitParameterUnit;
using zelto::CorviFont;
using zelto::ParameterEditor;
using zelto::ParameterEditorState;

struct Edit {
    float value = 0;
    ParameterEditorState state = ParameterEditorState::change;
    friend bool operator==(const Edit&, const Edit&) = default;
};

inline void PrintTo(const Edit& edit, std::ostream* os) {
    static const char* names[] = {"change", "begin", "end"};
    *os << names[static_cast<int>(edit.state)] << "(" << edit.value << ")";
}

inline Edit change(float v) {
    return {v, ParameterEditorState::change};
}
inline Edit begin(float v) {
    return {v, ParameterEditorState::beginInteractive};
}
inline Edit end(float v) {
    return {v, ParameterEditorState::endInteractive};
}

// Records what the controls send; everything else is the parameter's own behaviour.
class RecordingParameter final : public AudioParameter {
public:
    RecordingParameter(std::string name, AudioUnitParameterUnit units, ValueRange range, float defaultValue,
                       ValueIncrement increment = ValueIncrement::linear(),
                       std::optional<std::vector<std::string>> valueStrings = std::nullopt)
        : AudioParameter(7, "param", std::move(name), units, range, defaultValue, increment,
                         std::move(valueStrings), std::nullopt) {}

    static std::shared_ptr<RecordingParameter>
    make(std::string name, AudioUnitParameterUnit units, ValueRange range, float defaultValue,
         ValueIncrement increment = ValueIncrement::linear(),
         std::optional<std::vector<std::string>> valueStrings = std::nullopt) {
        return std::make_shared<RecordingParameter>(std::move(name), units, range, defaultValue, increment,
                                                    std::move(valueStrings));
    }

    void setValue(float value, ParameterEditor source, ParameterEditorState state) override {
        if (source == ParameterEditor::ui) {
            edits.push_back({value, state});
        }
        AudioParameter::setValue(value, source, state);
    }
    // A change from the host, landed.
    void hostSets(float value) {
        AudioParameter::setValue(value, ParameterEditor::parameterObserver, ParameterEditorState::change);
        core::MainQueue::shared().drain();
    }

    std::vector<Edit> edits;
};

// The texts drawn, in drawing order.
inline std::vector<std::string> drawnTexts(decltest::Harness& h) {
    std::vector<std::string> texts;
    for (const auto& op : h.record(graphics::DrawOpKind::text)) {
        texts.push_back(op.text);
    }
    return texts;
}

} // namespace dialtest
