#include "extension/EditorRoot.hpp"

#include "extension/Settings.hpp"
#include "extension/editor/MainView.hpp"

declarative::View makeEditorRoot(const std::shared_ptr<Settings>& settings) {
    return declarative::View(editor::MainView{}).environmentObject(settings);
}
