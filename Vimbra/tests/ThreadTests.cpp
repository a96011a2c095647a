#include "Vimbra/ControlActions.hpp"
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/PopUpExtensions.hpp"
#include "Vimbra/tests/MenuValues.hpp"
#include "core/MainQueue.hpp"
#include "ui/Window.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace vimbra;
using vimbratest::Shape;

namespace {

// Runs the main queue until the flag is set.
void drainUntil(const std::atomic<bool>& done) {
    while (!done.load()) {
        core::MainQueue::shared().drain();
        std::this_thread::yield();
    }
    core::MainQueue::shared().drain();
}

} // namespace

TEST(VimbraThreads, PublishedValuesFromManyThreadsTouchTheBoundPopUpOnlyOnTheMainThread) {
    auto popUp = std::make_shared<ui::PopUpButton>();
    core::PassthroughSubject<Shape> shape;
    core::CancellableSet store;
    vimbra::bind<Shape>(popUp, shape.publisher(), store, [](const Shape&) {});

    std::atomic<int> running{4};
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                shape.send(Shape((t + i) % 3));
            }
            if (--running == 0) {
                done = true;
            }
        });
    }
    drainUntil(done);
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_GE(popUp->indexOfSelectedItem(), 0);

    // The pop-up going while values are still queued for the main thread: they are skipped.
    std::thread([&] { shape.send(Shape(1)); }).join();
    popUp.reset();
    core::MainQueue::shared().drain();
}

TEST(VimbraThreads, FocusRequestsFromOtherThreadsRunOnTheMainThread) {
    auto window = ui::Window::make({0, 0, 200, 100});
    auto button = std::make_shared<ui::Control>(graphics::Rect(10, 10, 60, 20)); // no text: no font machinery
    window->contentView()->addSubview(button);
    core::PassthroughSubject<Void> requests;
    auto token = makeFirstResponder(requests.publisher(), button);

    std::atomic<bool> done{false};
    std::thread sender([&] {
        for (int i = 0; i < 100; ++i) {
            requests.send({});
        }
        done = true;
    });
    drainUntil(done);
    sender.join();
    core::MainQueue::shared().drain();
    EXPECT_EQ(window->firstResponder(), button);
    EXPECT_TRUE(window->isKeyWindow());
    window->close();
}
