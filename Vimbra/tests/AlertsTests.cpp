#include "Vimbra/Alerts.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <gtest/gtest.h>

using namespace vimbra;

namespace {

// Answers every modal alert with one real input into its window, after noting the texts it shows.
struct AlertScene : vimbratest::Scene {
    std::function<void(display::HeadlessBackend&, ui::Window&)> answer;
    std::vector<std::vector<std::string>> shown;

    AlertScene() {
        ui::Application::shared()->setModalRunner([this](const std::shared_ptr<ui::Window>& window) {
            auto backend = std::dynamic_pointer_cast<display::HeadlessBackend>(window->backend());
            ASSERT_TRUE(backend);
            std::vector<std::string> titles;
            for (const auto& button : buttons(*window)) {
                titles.push_back(button->title());
            }
            shown.push_back(titles);
            answer(*backend, *window);
        });
    }
    ~AlertScene() { ui::Application::shared()->setModalRunner({}); }

    static std::vector<std::shared_ptr<ui::Button>> buttons(ui::Window& window) {
        std::vector<std::shared_ptr<ui::Button>> result;
        for (const auto& view : descendants(*window.contentView(), [](const ui::View& v) {
                 return dynamic_cast<const ui::Button*>(&v) != nullptr;
             })) {
            result.push_back(std::static_pointer_cast<ui::Button>(view));
        }
        return result;
    }
    // Clicks the button with the title.
    static void click(display::HeadlessBackend& backend, ui::Window& window, const std::string& title) {
        for (const auto& button : buttons(window)) {
            if (button->title() == title) {
                backend.click(vimbratest::centre(*button));
                return;
            }
        }
        ADD_FAILURE() << "no button " << title;
    }
};

class NamedAlert : public ui::Alert {};

} // namespace

TEST(Alerts, ShowAndConfirmAnswerTheirButtonsReturnAndEscape) {
    AlertScene scene;
    scene.answer = [](display::HeadlessBackend& backend, ui::Window& window) {
        AlertScene::click(backend, window, "Got It");
    };
    showAlert("Saved.", "The preset was written.", "Got It");
    ASSERT_EQ(scene.shown.size(), 1u);
    EXPECT_EQ(scene.shown[0], std::vector<std::string>{"Got It"});

    int confirmed = 0;
    const auto ask = [&] {
        confirmAlert("Delete “Bells”?", "This cannot be undone.", "Delete", [&] { ++confirmed; });
    };
    scene.answer = [](display::HeadlessBackend& backend, ui::Window& window) {
        AlertScene::click(backend, window, "Cancel");
    };
    ask();
    EXPECT_EQ(confirmed, 0);
    scene.answer = [](display::HeadlessBackend& backend, ui::Window&) {
        backend.typeKey(ui::utf8(ui::SpecialKey::escape));
    };
    ask();
    EXPECT_EQ(confirmed, 0);
    scene.answer = [](display::HeadlessBackend& backend, ui::Window& window) {
        AlertScene::click(backend, window, "Delete");
    };
    ask();
    EXPECT_EQ(confirmed, 1);
    scene.answer = [](display::HeadlessBackend& backend, ui::Window&) {
        backend.typeKey(ui::utf8(ui::SpecialKey::carriageReturn));
    };
    ask();
    EXPECT_EQ(confirmed, 2);
    EXPECT_EQ(scene.shown.back(), (std::vector<std::string>{"Delete", "Cancel"}));

    auto alert = makeAlert<NamedAlert>("Message", "Details");
    EXPECT_EQ(alert->messageText(), "Message");
    EXPECT_EQ(alert->informativeText(), "Details");
    EXPECT_TRUE(alert->buttons().empty());
}
