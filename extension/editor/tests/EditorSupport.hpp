#pragma once

// What the editor's tests share: the build tree's bundles and the kit's typefaces, a settings model in a
// headless host, and parameters that log every edit they are sent.

#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "declarative/tests/Support.hpp"
#include "extension/Settings.hpp"
#include "extension/editor/EditorAssets.hpp"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace edtest {

using namespace decltest;

// Finds the bundles of the build tree and registers the kit's faces (once per process).
inline void useBuildTreeResources() {
    static const bool ready = [] {
        core::Bundle::addSearchPath(TESSARAY_BUNDLES_DIR);
        zelto::registerKitFonts(zelto::kitBundle().resourcePath() / "Fonts");
        return true;
    }();
    (void)ready;
}

struct Edit {
    std::string parameter;
    float value = 0;
    zelto::ParameterEditorState state = zelto::ParameterEditorState::change;
    friend bool operator==(const Edit&, const Edit&) = default;
};
inline void PrintTo(const Edit& e, std::ostream* os) {
    static const char* const states[] = {"change", "begin", "end"};
    *os << e.parameter << " " << e.value << " " << states[static_cast<int>(e.state)];
}
using EditLog = std::shared_ptr<std::vector<Edit>>;

// A copy of a parameter that logs the user edits it is sent, then applies them as usual.
class LoggingParameter final : public zelto::AudioParameter {
public:
    static std::shared_ptr<LoggingParameter> replacing(const zelto::AudioParameter& p, EditLog log) {
        return std::shared_ptr<LoggingParameter>(new LoggingParameter(p, std::move(log)));
    }
    void setValue(float value, zelto::ParameterEditor source, zelto::ParameterEditorState state) override {
        if (source == zelto::ParameterEditor::ui) {
            log_->push_back({identifier(), value, state});
        }
        AudioParameter::setValue(value, source, state);
    }

private:
    LoggingParameter(const zelto::AudioParameter& p, EditLog log)
        : AudioParameter(p.address(), p.identifier(), p.name(), p.units(), p.valueRange(), p.defaultValue(),
                         p.valueIncrement(), p.valueStrings(), p.dependentParameterAddresses()),
          log_(std::move(log)) {}
    EditLog log_;
};

// Replaces a settings field's parameter by a logging copy and returns it.
inline std::shared_ptr<LoggingParameter> logEdits(Settings& settings, std::size_t field, const EditLog& log) {
    auto& property = settings.parameterField(field);
    auto logging = LoggingParameter::replacing(*property.peek(), log);
    property.set(logging);
    return logging;
}

// A settings model without an audio unit, in a headless host with the fixed text measurer.
struct EditorHarness {
    EditorHarness(View content, Size size, double scale = 1.0)
        : settings((useBuildTreeResources(), Settings::create())),
          harness(std::move(content).environmentObject(settings), size, scale) {}
    ~EditorHarness() { core::MainQueue::shared().drain(); }

    // The texts drawn, in drawing order.
    std::vector<std::string> texts() {
        std::vector<std::string> all;
        for (const auto& op : harness.record(graphics::DrawOpKind::text)) {
            all.push_back(op.text);
        }
        return all;
    }

    std::shared_ptr<Settings> settings;
    Harness harness;
};

} // namespace edtest
