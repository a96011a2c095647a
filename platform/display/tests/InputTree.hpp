#pragma once

#include "core/MainQueue.hpp"
#include "ui/Application.hpp"
#include "ui/Control.hpp"
#include "ui/Window.hpp"

#include <memory>
#include <string>
#include <vector>

namespace displaytest {

// A flipped view that takes keys and paints a 10-point red square at its top-left.
class KeyView : public ui::View {
public:
    using View::View;
    bool isFlipped() const override { return true; }
    bool acceptsFirstResponder() const override { return true; }
    void keyDown(const ui::Event& e) override {
        typed += e.characters;
        keyCodes.push_back(e.keyCode);
    }
    void draw(const graphics::Rect&) override {
        graphics::GraphicsContext::current()->fillRect(graphics::Rect(0, 0, 10, 10),
                                                       graphics::Color::rgba(1, 0, 0));
    }
    std::string typed;
    std::vector<std::uint16_t> keyCodes;
};

// A window split in two: a control on the left that counts its actions, a key view on the right.
struct InputTree {
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::Control> button;
    std::shared_ptr<KeyView> field;
    std::shared_ptr<ui::Object> target = std::make_shared<ui::Object>();
    int clicks = 0;

    InputTree(double width, double height)
        : window(ui::Window::make(graphics::Rect(0, 0, width, height))),
          button(std::make_shared<ui::Control>(graphics::Rect(0, 0, width / 2, height))),
          field(std::make_shared<KeyView>(graphics::Rect(width / 2, 0, width / 2, height))) {
        window->contentView()->addSubview(button);
        window->contentView()->addSubview(field);
        target->setActionHandler("press:", [this](const auto&) { ++clicks; });
        button->setTarget(target);
        button->setAction("press:");
    }
    InputTree(const InputTree&) = delete;
    InputTree& operator=(const InputTree&) = delete;
};

// Closes every window a test opened, so the shared application starts the next test empty.
struct Cleanup {
    ~Cleanup() {
        for (auto& w : ui::Application::shared()->windows()) {
            w->close();
        }
        core::MainQueue::shared().drain();
    }
};

} // namespace displaytest
