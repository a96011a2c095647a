#pragma once

// Shared by the button tests: a parameter that logs the edits it receives, and readers of what a hosted
// tree drew.

#include "ZeltoCore/AudioParameter.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "core/Bundle.hpp"
#include "declarative/tests/Support.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace buttontest {

using zelto::ParameterEditor;
using zelto::ParameterEditorState;

struct Edit {
    float value;
    ParameterEditorState state;
    friend bool operator==(const Edit&, const Edit&) = default;
};

inline void PrintTo(const Edit& edit, std::ostream* os) {
    static constexpr const char* names[] = {"change", "begin", "end"};
    *os << "(" << edit.value << ", " << names[static_cast<int>(edit.state)] << ")";
}

inline Edit begin(float v) {
    return {v, ParameterEditorState::beginInteractive};
}
inline Edit change(float v) {
    return {v, ParameterEditorState::change};
}
inline Edit end(float v) {
    return {v, ParameterEditorState::endInteractive};
}

// Logs every setValue; a source other than ui is a test failure waiting to be noticed, so it is kept too.
class RecordingParameter final : public zelto::AudioParameter {
public:
    static std::shared_ptr<RecordingParameter> make(float maximum, float initial,
                                                    std::optional<std::vector<std::string>> strings = {},
                                                    std::string name = "Reverse") {
        return std::shared_ptr<RecordingParameter>(
            new RecordingParameter(maximum, initial, std::move(strings), std::move(name)));
    }
    void setValue(float value, ParameterEditor source, ParameterEditorState state) override {
        edits.push_back({value, state});
        sources.push_back(source);
        AudioParameter::setValue(value, source, state);
    }
    // The edits since the last call.
    std::vector<Edit> take() {
        auto out = std::move(edits);
        edits.clear();
        return out;
    }

    std::vector<Edit> edits;
    std::vector<ParameterEditor> sources;

private:
    RecordingParameter(float maximum, float initial, std::optional<std::vector<std::string>> strings,
                       std::string name)
        : AudioParameter(7, "param", std::move(name), zelto::AudioUnitParameterUnit::indexed, {0, maximum},
                         initial, ValueIncrement::linear(), std::move(strings), std::nullopt) {}
};

inline declarative::Binding<std::shared_ptr<zelto::AudioParameter>>
bound(const std::shared_ptr<RecordingParameter>& parameter) {
    return declarative::Binding<std::shared_ptr<zelto::AudioParameter>>::constant(parameter);
}

inline void useBuildBundles() {
    core::Bundle::addSearchPath(ZELTO_BUNDLES_DIR);
}

// The names of the images drawn, in order.
inline std::vector<std::string> images(decltest::Harness& harness) {
    std::vector<std::string> names;
    for (const auto& op : harness.record(graphics::DrawOpKind::image)) {
        names.push_back(op.imageName);
    }
    return names;
}

inline std::vector<graphics::RecordedOp> texts(decltest::Harness& harness) {
    return harness.record(graphics::DrawOpKind::text);
}

} // namespace buttontest
