#pragma once

// A test fixture for tests on an X server of their own: a display of ours on it at scale 1 with XTest
// input, windows put on screen once mapped and drawn, and at the end the windows the test left closed and
// the display detached, so the shared application starts the next test empty. Include after gtest:
// Xlib's macros clash with it.

#include "XSendEvents.hpp"
#include "Xvfb.hpp"
#include "core/MainQueue.hpp"
#include "display/X11Display.hpp"
#include "ui/Application.hpp"
#include "ui/Window.hpp"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace displaytest {

class X11TestFixture : public ::testing::Test {
protected:
    // screen: the server's screen, WIDTHxHEIGHTxDEPTH.
    explicit X11TestFixture(const std::string& screen = "640x480x24") : server(screen) {}

    // Opens the display and the input; skips the test without Xvfb or XTest.
    void openDisplay() {
        if (server.name().empty()) {
            GTEST_SKIP() << "Xvfb is not available";
        }
        display = openAttachedDisplay(server.name());
        ASSERT_NE(display, nullptr);
        input = XTestInput(display->xdisplay());
        if (!input.available()) {
            GTEST_SKIP() << "no XTest";
        }
    }

    // Gives the window a back end (into backend) and makes it key and front, waiting until the server has
    // mapped it and it has presented a frame; a fatal failure when it does not.
    void showWindow(const std::shared_ptr<ui::Window>& window,
                    std::shared_ptr<display::X11WindowBackend>& backend) {
        backend = display->createWindow(window);
        ASSERT_NE(backend, nullptr);
        window->makeKeyAndOrderFront();
        ASSERT_TRUE(pumpUntil([&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    }

    void TearDown() override {
        if (display) {
            for (auto& w : ui::Application::shared()->windows()) {
                w->close();
            }
            display->detach();
        }
        core::MainQueue::shared().drain();
        ui::Application::shared()->setKeyWindow(nullptr);
    }

    // Waits for what a test expects, giving up after a long while (a loaded machine is slow).
    template <class Predicate> bool pumpUntil(Predicate done) {
        return displaytest::pumpUntil(*display, done);
    }

    XvfbServer server;
    std::shared_ptr<display::X11Display> display;
    XTestInput input{nullptr};
};

} // namespace displaytest
