#include "Helpers.hpp"

#include <gtest/gtest.h>

using graphics::Rect;
using ui::EventType;
using uitest::key;
using uitest::mouse;
using uitest::ProbeView;

namespace {

class KeyHookWindow : public ui::Window {
public:
    using Window::Window;
    void becomeKeyWindow() override {
        Window::becomeKeyWindow();
        ++became;
    }
    void resignKeyWindow() override {
        Window::resignKeyWindow();
        ++resigned;
    }
    void cancelOperation(const std::shared_ptr<ui::Object>&) override { ++cancels; }
    int became = 0;
    int resigned = 0;
    int cancels = 0;
};

// A key window whose first responder is a view inside another.
struct ChainScene {
    uitest::WindowScope scope;
    std::shared_ptr<KeyHookWindow> window = ui::Window::make<KeyHookWindow>(Rect(0, 0, 100, 100));
    std::shared_ptr<ProbeView> outer = std::make_shared<ProbeView>(Rect(0, 0, 100, 100));
    std::shared_ptr<ProbeView> inner = std::make_shared<ProbeView>(Rect(0, 0, 10, 10));
    ChainScene() {
        window->contentView()->addSubview(outer);
        outer->addSubview(inner);
        inner->accepts = true;
        window->makeKeyWindow();
        window->makeFirstResponder(inner);
    }
};

} // namespace

TEST(WindowFirstResponder, AsksTheOldToResignAndTheNewToAccept) {
    uitest::WindowScope scope;
    auto window = ui::Window::make(Rect(0, 0, 100, 100));
    auto field = std::make_shared<ProbeView>(Rect(0, 0, 50, 50));
    auto other = std::make_shared<ProbeView>(Rect(50, 0, 50, 50));
    window->contentView()->addSubview(field);
    window->contentView()->addSubview(other);
    EXPECT_EQ(window->firstResponder(), window);

    // A view that does not accept the role is refused; the window keeps it.
    EXPECT_FALSE(window->makeFirstResponder(field));
    EXPECT_EQ(window->firstResponder(), window);

    field->accepts = true;
    other->accepts = true;
    EXPECT_TRUE(window->makeFirstResponder(field));
    EXPECT_EQ(window->firstResponder(), field);

    // The current responder may refuse to resign.
    field->agreesToResign = false;
    EXPECT_FALSE(window->makeFirstResponder(other));
    EXPECT_EQ(window->firstResponder(), field);
    field->agreesToResign = true;

    // A new responder that refuses to become leaves the window holding the role.
    other->agreesToBecome = false;
    EXPECT_FALSE(window->makeFirstResponder(other));
    EXPECT_EQ(window->firstResponder(), window);

    // Null gives the role back to the window; views outside the window cannot take it.
    EXPECT_TRUE(window->makeFirstResponder(field));
    EXPECT_TRUE(window->makeFirstResponder(nullptr));
    EXPECT_EQ(window->firstResponder(), window);
    auto loose = std::make_shared<ProbeView>(Rect(0, 0, 5, 5));
    loose->accepts = true;
    EXPECT_FALSE(window->makeFirstResponder(loose));

    // Removing or hiding the first responder hands the role back to the window.
    EXPECT_TRUE(window->makeFirstResponder(field));
    field->removeFromSuperview();
    EXPECT_EQ(window->firstResponder(), window);
    other->agreesToBecome = true;
    EXPECT_TRUE(window->makeFirstResponder(other));
    other->setHidden(true);
    EXPECT_EQ(window->firstResponder(), window);
}

TEST(WindowKeyStatus, OneKeyWindowWithHooks) {
    uitest::WindowScope scope;
    auto first = ui::Window::make<KeyHookWindow>(Rect(0, 0, 10, 10));
    auto second = ui::Window::make<KeyHookWindow>(Rect(0, 0, 10, 10));
    auto app = ui::Application::shared();
    EXPECT_EQ(app->windows().size(), 2u);

    first->makeKeyWindow();
    EXPECT_TRUE(first->isKeyWindow());
    second->makeKeyWindow();
    EXPECT_FALSE(first->isKeyWindow());
    EXPECT_TRUE(second->isKeyWindow());
    EXPECT_EQ(first->became, 1);
    EXPECT_EQ(first->resigned, 1);

    second->resignKey();
    EXPECT_EQ(app->keyWindow(), nullptr);
    EXPECT_EQ(second->resigned, 1);

    // A closed window leaves the application and cannot become key again.
    second->makeKeyWindow();
    second->close();
    EXPECT_EQ(app->keyWindow(), nullptr);
    EXPECT_EQ(app->windows().size(), 1u);
    second->makeKeyWindow();
    EXPECT_EQ(app->keyWindow(), nullptr);
}

TEST(WindowEvents, MouseSequenceStaysWithTheViewThatTookTheDown) {
    uitest::WindowScope scope;
    auto window = ui::Window::make(Rect(0, 0, 100, 100));
    auto left = std::make_shared<ProbeView>(Rect(0, 0, 50, 100));
    auto right = std::make_shared<ProbeView>(Rect(50, 0, 50, 100), true);
    window->contentView()->addSubview(left);
    window->contentView()->addSubview(right);
    window->makeKeyWindow();

    window->sendEvent(mouse(EventType::leftMouseDown, 60, 90, window));
    window->sendEvent(mouse(EventType::leftMouseDragged, 10, 90, window)); // over the other view
    window->sendEvent(mouse(EventType::leftMouseUp, 10, 80, window));
    window->sendEvent(mouse(EventType::leftMouseDragged, 60, 80, window)); // no button held: dropped
    // Flipped view: window y 90 is 10 points from its top.
    EXPECT_EQ(right->log, (std::vector<std::string>{"down 10,10", "drag -40,10", "up -40,20"}));
    EXPECT_TRUE(left->log.empty());
    EXPECT_EQ(ui::Application::shared()->pressedMouseButtons(), 0u);
    EXPECT_EQ(ui::Application::shared()->currentEvent(), nullptr);

    // A click into a window that is not key makes it key; only views that accept the first mouse get it.
    window->resignKey();
    left->firstMouse = false;
    window->sendEvent(mouse(EventType::leftMouseDown, 10, 10, window));
    window->sendEvent(mouse(EventType::leftMouseUp, 10, 10, window));
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_TRUE(left->log.empty());
    window->sendEvent(mouse(EventType::leftMouseDown, 10, 10, window));
    EXPECT_EQ(left->log, (std::vector<std::string>{"down 10,10"}));

    // A click on a view that accepts the first responder role gives it the role.
    right->accepts = true;
    window->sendEvent(mouse(EventType::leftMouseDown, 60, 10, window));
    EXPECT_EQ(window->firstResponder(), right);
}

TEST(WindowEvents, KeysGoToTheFirstResponderAndUpItsChain) {
    ChainScene s;
    auto& window = s.window;
    auto &outer = s.outer, &inner = s.inner;
    ASSERT_EQ(window->firstResponder(), inner);

    window->sendEvent(key("a", window));
    inner->handlesKeys = false;
    window->sendEvent(key("b", window));
    EXPECT_EQ(inner->log, (std::vector<std::string>{"key a"}));
    EXPECT_EQ(outer->log, (std::vector<std::string>{"key b"}));

    // An Escape that no view handles becomes a cancel command travelling up to the window.
    outer->handlesKeys = false;
    window->sendEvent(key("\x1b", window));
    EXPECT_EQ(window->cancels, 1);

    // Without a window the event goes to the key window.
    ui::Application::shared()->sendEvent(key("\x1b", nullptr));
    EXPECT_EQ(window->cancels, 2);
}

TEST(ApplicationActions, SendActionWalksTheResponderChain) {
    ChainScene s;
    auto& window = s.window;
    auto &outer = s.outer, &inner = s.inner;
    auto app = ui::Application::shared();

    std::vector<std::string> got;
    auto sender = std::make_shared<ui::Object>();
    outer->setActionHandler("copy:", [&](const std::shared_ptr<ui::Object>& s) {
        got.push_back(s == sender ? "outer from sender" : "outer");
    });
    auto windowDelegate = std::make_shared<ui::Object>();
    windowDelegate->setActionHandler("save:", [&](const auto&) { got.push_back("window delegate"); });
    window->setDelegate(windowDelegate);
    auto appDelegate = std::make_shared<ui::Object>();
    appDelegate->setActionHandler("checkForUpdates:", [&](const auto&) { got.push_back("app delegate"); });
    app->setDelegate(appDelegate);

    EXPECT_TRUE(app->sendAction("copy:", nullptr, sender));
    EXPECT_TRUE(app->sendAction("save:", nullptr, sender));
    EXPECT_TRUE(app->sendAction("checkForUpdates:", nullptr, sender));
    EXPECT_FALSE(app->sendAction("paste:", nullptr, sender));
    EXPECT_FALSE(app->sendAction("", nullptr, sender));
    EXPECT_EQ(got, (std::vector<std::string>{"outer from sender", "window delegate", "app delegate"}));

    // An explicit target gets the action only when it answers it: the chain is not consulted.
    EXPECT_FALSE(app->sendAction("copy:", windowDelegate, sender));
    EXPECT_EQ(app->targetForAction("copy:", nullptr, sender), outer);

    // The nearer responder wins; tryToPerform walks the same chain from a given responder.
    inner->setActionHandler("copy:", [&](const auto&) { got.push_back("inner"); });
    EXPECT_TRUE(app->sendAction("copy:", nullptr, sender));
    EXPECT_TRUE(outer->tryToPerform("copy:", sender));
    EXPECT_EQ(got.back(), "outer from sender");
    EXPECT_EQ(got[got.size() - 2], "inner");

    // With no key window only the application and its delegate are asked.
    window->resignKey();
    EXPECT_FALSE(app->sendAction("copy:", nullptr, sender));
    EXPECT_TRUE(app->sendAction("checkForUpdates:", nullptr, sender));
}

TEST(WindowDisplay, DrawsEachViewInItsOwnCoordinatesIntoTheBackend) {
    uitest::WindowScope scope;
    auto window = ui::Window::make(Rect(0, 0, 100, 80));
    auto backend = std::make_shared<uitest::FakeBackend>(graphics::Size(100, 80), 2.0);
    window->setBackend(backend);
    window->displayIfNeeded();
    EXPECT_EQ(backend->flushes, 1);
    EXPECT_FALSE(window->viewsNeedDisplay());

    auto flipped = std::make_shared<ProbeView>(Rect(10, 10, 60, 60), true);
    auto square = std::make_shared<ProbeView>(Rect(5, 5, 10, 10));
    auto hidden = std::make_shared<ProbeView>(Rect(0, 0, 100, 80));
    auto faded = std::make_shared<ProbeView>(Rect(80, 0, 20, 20));
    square->fill = graphics::Color::rgba(1, 0, 0);
    flipped->fill = graphics::Color::rgba(1, 1, 0);
    hidden->fill = graphics::Color::rgba(0, 0, 1);
    faded->fill = graphics::Color::rgba(0, 1, 0);
    faded->setAlphaValue(0.5);
    hidden->setHidden(true);
    flipped->addSubview(square);
    window->contentView()->addSubview(flipped);
    window->contentView()->addSubview(hidden);
    window->contentView()->addSubview(faded);
    // Marking views asks the back end for one pass, however many views are marked.
    const int invalidationsBefore = backend->invalidations;
    square->setNeedsDisplay();
    EXPECT_EQ(backend->invalidations, invalidationsBefore);
    EXPECT_TRUE(window->viewsNeedDisplay());

    backend->recorder()->clear();
    window->displayIfNeeded();
    EXPECT_EQ(backend->flushes, 2);
    EXPECT_FALSE(square->needsDisplay());
    EXPECT_EQ(hidden->drawCount, 0);

    auto fills = backend->recorder()->ops(graphics::DrawOpKind::fillPath);
    ASSERT_EQ(fills.size(), 4u) << backend->recorder()->dump(); // background, parent, square, faded
    // Each view fills its own bounds. In device pixels (scale 2, y down) the flipped parent's top at
    // window y 70 is device y 20, and the square 5 points into it is at device (30, 30).
    EXPECT_EQ(fills[0].deviceRect, Rect(0, 0, 200, 160));
    EXPECT_EQ(fills[1].deviceRect, Rect(20, 20, 120, 120));
    EXPECT_TRUE(fills[1].flipped);
    EXPECT_EQ(fills[2].rect, Rect(0, 0, 10, 10));
    EXPECT_EQ(fills[2].deviceRect, Rect(30, 30, 20, 20));
    EXPECT_FALSE(fills[2].flipped);
    EXPECT_EQ(fills[3].deviceRect, Rect(160, 120, 40, 40));
    EXPECT_EQ(backend->recorder()->ops(graphics::DrawOpKind::beginLayer).size(), 1u);

    // Pixels: the square is red; the hidden view painted nothing.
    cairo_surface_t* s = backend->surface();
    cairo_surface_flush(s);
    auto* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    auto pixel = [&](int x, int y) { return reinterpret_cast<const std::uint32_t*>(data + y * stride)[x]; };
    EXPECT_EQ(pixel(40, 40), 0xffff0000u);
    EXPECT_NE(pixel(5, 150) & 0xffu, 0xffu);

    // Nothing marked: no pass; closing closes the back end.
    window->displayIfNeeded();
    EXPECT_EQ(backend->flushes, 2);
    window->close();
    EXPECT_TRUE(backend->closed);
}
