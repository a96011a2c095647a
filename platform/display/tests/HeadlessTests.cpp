#include "InputTree.hpp"
#include "display/HeadlessBackend.hpp"

#include <cairo.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using graphics::Rect;

namespace {

class FillView : public ui::View {
public:
    FillView(const Rect& frame, graphics::ColorRef color, bool flipped)
        : View(frame), color_(color), flipped_(flipped) {}
    bool isFlipped() const override { return flipped_; }
    void draw(const Rect&) override {
        // A 10-point square at the view's origin: the top-left when flipped, the bottom-left when not.
        graphics::GraphicsContext::current()->fillRect(Rect(0, 0, 10, 10), color_);
    }

private:
    graphics::ColorRef color_;
    bool flipped_;
};

} // namespace

TEST(HeadlessBackend, RendersAViewTreeToAPngAtTheBackingScale) {
    displaytest::Cleanup cleanup;
    auto window = ui::Window::make(Rect(0, 0, 40, 30));
    window->setBackgroundColor(graphics::Color::rgba(0, 0, 0));
    auto flipped = std::make_shared<FillView>(Rect(0, 0, 20, 30), graphics::Color::rgba(1, 0, 0), true);
    auto plain = std::make_shared<FillView>(Rect(20, 0, 20, 30), graphics::Color::rgba(0, 0, 1), false);
    window->contentView()->addSubview(flipped);
    window->contentView()->addSubview(plain);
    auto backend = display::HeadlessBackend::attach(window, 2.0);

    // Attaching asks for one display pass on the main queue.
    EXPECT_EQ(backend->presentedFrames(), 0);
    core::MainQueue::shared().drain();
    EXPECT_EQ(backend->presentedFrames(), 1);

    const auto file =
        std::filesystem::temp_directory_path() / ("headless-" + std::to_string(getpid()) + ".png");
    ASSERT_TRUE(backend->writePNG(file));
    cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
    std::filesystem::remove(file);
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 80);
    EXPECT_EQ(cairo_image_surface_get_height(png), 60);
    const auto* data = cairo_image_surface_get_data(png);
    const int stride = cairo_image_surface_get_stride(png);
    auto at = [&](int x, int y) { return reinterpret_cast<const std::uint32_t*>(data + y * stride)[x]; };
    // The flipped view's square is at the top of the image, the unflipped one's at the bottom.
    EXPECT_EQ(at(5, 5), 0xffff0000u);
    EXPECT_EQ(at(5, 55), 0xff000000u);
    EXPECT_EQ(at(45, 55), 0xff0000ffu);
    EXPECT_EQ(at(45, 5), 0xff000000u);
    EXPECT_EQ(at(19, 19), 0xffff0000u); // 10 points = 20 pixels
    EXPECT_EQ(at(20, 20), 0xff000000u);
    cairo_surface_destroy(png);
    EXPECT_EQ(backend->pixelRGBA(5, 5), 0xff0000ffu);

    // Many changes before the queue runs give one pass.
    flipped->setNeedsDisplay();
    plain->setNeedsDisplay();
    window->setTitle("Tessaray");
    EXPECT_EQ(core::MainQueue::shared().drain(), 1u);
    EXPECT_EQ(backend->presentedFrames(), 2);
    EXPECT_EQ(backend->title(), "Tessaray");
}

TEST(HeadlessBackend, InjectedInputReachesTheWindow) {
    displaytest::Cleanup cleanup;
    auto app = ui::Application::shared();
    displaytest::InputTree tree(100, 50);
    auto& window = tree.window;
    auto& clicks = tree.clicks;
    auto backend = display::HeadlessBackend::attach(window);

    backend->focusIn();
    EXPECT_TRUE(window->isKeyWindow());
    backend->click({10, 10});
    EXPECT_EQ(clicks, 1);
    backend->mouseDown({10, 10});
    backend->mouseDragged({200, 10});
    backend->mouseUp({200, 10});
    EXPECT_EQ(clicks, 1);

    window->makeFirstResponder(tree.field);
    backend->typeKey("h");
    backend->typeKey("\xc3\xa9"); // é
    EXPECT_EQ(tree.field->typed, "h\xc3\xa9");

    backend->flagsChanged(ui::Modifier::shift);
    EXPECT_EQ(app->currentModifierFlags(), ui::Modifier::shift);
    backend->mouseMoved({1, 1});
    EXPECT_EQ(app->currentModifierFlags(), ui::Modifier::shift); // held keys stay in later events

    backend->focusOut();
    EXPECT_FALSE(window->isKeyWindow());

    backend->resize({120, 60});
    EXPECT_EQ(window->frame().size, graphics::Size(120, 60));
    EXPECT_EQ(window->contentView()->frame(), Rect(0, 0, 120, 60));
    core::MainQueue::shared().drain();
    EXPECT_EQ(backend->pixel(119, 59).a, 255); // the surface grew with the window
    EXPECT_EQ(backend->pixel(120, 30).a, 0);   // outside it

    backend->requestClose();
    EXPECT_TRUE(window->isClosed());
    EXPECT_TRUE(backend->isClosed());
    EXPECT_TRUE(app->windows().empty());
    backend->click({10, 10}); // nothing reaches a closed window
    EXPECT_EQ(clicks, 1);
}
