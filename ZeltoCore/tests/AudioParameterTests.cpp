#include "ZeltoCore/AudioParameter.hpp"
#include "core/HostTime.hpp"
#include "core/MainQueue.hpp"

#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

using namespace zelto;

using audiounit::AUParameterAutomationEventType;
using audiounit::AUParameterEvent;
using audiounit::AUParameterTree;
using Unit = audiounit::AudioUnitParameterUnit;

namespace {

class AudioParameterTest : public ::testing::Test {
protected:
    void SetUp() override {
        core::claimMainThread();
        core::MainQueue::shared().drain();
    }
    void TearDown() override { core::MainQueue::shared().drain(); }

    static std::shared_ptr<AudioParameter> percent(float initial = 50.0f) {
        return AudioParameter::create(4, "blur", "Blur", Unit::percent, {0.0f, 100.0f}, initial,
                                      AudioParameter::ValueIncrement::linear());
    }

    // Puts the parameter into a tree and records every event the host would see.
    void listen(const std::shared_ptr<AudioParameter>& parameter) {
        tree_ = AUParameterTree::createTree({parameter->auParameter()});
        tree_->addParameterObserver([this](const AUParameterEvent& event) { events_.push_back(event); });
    }

    std::shared_ptr<AUParameterTree> tree_;
    std::vector<AUParameterEvent> events_;
};

TEST_F(AudioParameterTest, FlagsFollowUnitStringsAndDependentsAndOnlyCentsAreScaled) {
    const auto make = [](Unit unit, std::optional<std::vector<std::string>> strings,
                         std::optional<std::vector<uint64_t>> dependents) {
        return AudioParameter::create(1, "p", "P", unit, {0.0f, 10.0f}, 3.0f,
                                      AudioParameter::ValueIncrement::linear(), std::move(strings),
                                      std::move(dependents));
    };
    EXPECT_EQ(make(Unit::percent, std::nullopt, std::nullopt)->auParameter()->flags(), 0xC0000000u);
    EXPECT_EQ(
        make(Unit::percent, std::vector<std::string>{}, std::vector<uint64_t>{})->auParameter()->flags(),
        0xC0000000u);
    EXPECT_EQ(make(Unit::generic, std::nullopt, std::vector<uint64_t>{2, 3})->auParameter()->flags(),
              0xD0100000u);
    EXPECT_EQ(make(Unit::decibels, std::vector<std::string>{"a"}, std::nullopt)->auParameter()->flags(),
              0xC2200000u);
    EXPECT_EQ(make(Unit::linearGain, std::nullopt, std::nullopt)->auParameter()->flags(), 0xC2000000u);
    EXPECT_EQ(make(Unit::absoluteCents, std::nullopt, std::nullopt)->auParameter()->flags(), 0xC2000000u);
    EXPECT_EQ(AudioParameter::dummyParam()->auParameter()->flags(), 0xC0000000u);

    // Only cents are scaled for display and saving.
    const auto note = AudioParameter::create(11, "note", "Note", Unit::absoluteCents, {-600.0f, 600.0f},
                                             250.0f, AudioParameter::ValueIncrement::linear());
    EXPECT_FLOAT_EQ(note->displayableValue(), 2.5f);
    EXPECT_FLOAT_EQ(note->saveScaleFactor(), 0.01f);
    const auto blur = percent(20.0f);
    EXPECT_FLOAT_EQ(blur->displayableValue(), 20.0f);
    EXPECT_FLOAT_EQ(blur->saveScaleFactor(), 1.0f);
}

TEST_F(AudioParameterTest, ValueIsClampedAndWrittenOnTheMainQueue) {
    const auto p = percent();
    p->setValue(150.0f, ParameterEditor::ui, ParameterEditorState::change);
    EXPECT_FLOAT_EQ(p->value(), 50.0f) << "the observed write is deferred";
    core::MainQueue::shared().drain();
    EXPECT_FLOAT_EQ(p->value(), 100.0f);

    p->setValue(std::numeric_limits<float>::quiet_NaN(), ParameterEditor::parameterObserver,
                ParameterEditorState::change);
    core::MainQueue::shared().drain();
    EXPECT_FLOAT_EQ(p->value(), 0.0f);

    int notified = 0;
    auto token = p->observeValue([&](float) { ++notified; });
    p->setObservedValue(0.0f);
    EXPECT_EQ(notified, 0);
    p->setObservedValue(7.0f);
    EXPECT_EQ(notified, 1);
}

TEST_F(AudioParameterTest, OnlyUserEditsReachTheHostWithTimeAndGesturePhase) {
    const auto p = percent();
    listen(p);
    core::ScopedHostTime clock(12345);

    p->setValue(60.0f, ParameterEditor::ui, ParameterEditorState::beginInteractive);
    p->setValue(70.0f, ParameterEditor::parameterObserver, ParameterEditorState::change);
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].eventType, AUParameterAutomationEventType::touch);
    EXPECT_EQ(events_[0].hostTime, 12345u);
    EXPECT_FLOAT_EQ(events_[0].value, 60.0f);
    EXPECT_FLOAT_EQ(p->auParameter()->storedValue(), 60.0f);
    core::MainQueue::shared().drain();

    // The same value again: a plain change is dropped entirely, gesture ends are not.
    events_.clear();
    const auto queued = core::MainQueue::shared().pendingCount();
    p->setValue(70.0f, ParameterEditor::ui, ParameterEditorState::change);
    EXPECT_TRUE(events_.empty());
    EXPECT_EQ(core::MainQueue::shared().pendingCount(), queued);
    p->setValue(70.0f, ParameterEditor::ui, ParameterEditorState::endInteractive);
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].eventType, AUParameterAutomationEventType::release);

    // A value that returns within one turn of the main queue is not lost either.
    core::MainQueue::shared().drain();
    events_.clear();
    p->setValue(90.0f, ParameterEditor::ui, ParameterEditorState::change);
    p->setValue(70.0f, ParameterEditor::ui, ParameterEditorState::change);
    ASSERT_EQ(events_.size(), 2u) << "the return to 70 must reach the host too";
    EXPECT_FLOAT_EQ(p->auParameter()->storedValue(), 70.0f);
    core::MainQueue::shared().drain();
    EXPECT_FLOAT_EQ(p->value(), 70.0f);

    // Once nothing is pending, a repeat is a duplicate again.
    events_.clear();
    p->setValue(70.0f, ParameterEditor::ui, ParameterEditorState::change);
    EXPECT_TRUE(events_.empty());
}

TEST_F(AudioParameterTest, HostEchoesAreDroppedWhileDragging) {
    const auto p = percent();
    p->setIsBeingInteractivelyEdited(true);
    p->setValue(10.0f, ParameterEditor::parameterObserver, ParameterEditorState::change);
    core::MainQueue::shared().drain();
    EXPECT_FLOAT_EQ(p->value(), 50.0f);

    p->setValue(10.0f, ParameterEditor::ui, ParameterEditorState::change);
    core::MainQueue::shared().drain();
    EXPECT_FLOAT_EQ(p->value(), 10.0f) << "the user's own edit still lands";
    p->setIsBeingInteractivelyEdited(false);
    p->setValue(30.0f, ParameterEditor::parameterObserver, ParameterEditorState::change);
    core::MainQueue::shared().drain();
    EXPECT_FLOAT_EQ(p->value(), 30.0f);
}

// A host thread writes A→B→A over and over while the main thread drains the queue as fast as it can; after
// each round the parameter must show A again. Bounded by rounds and by about a second of wall time.
TEST_F(AudioParameterTest, HostWritesFromAnotherThreadNeverLoseTheLastValue) {
    const auto p = percent(10.0f);
    constexpr int kMaxRounds = 400000;
    std::atomic<int> posted{0};
    std::atomic<int> checked{0};
    std::atomic<bool> stop{false};
    std::thread host([&] {
        for (int round = 1; round <= kMaxRounds && !stop.load(); ++round) {
            p->setValue(20.0f, ParameterEditor::parameterObserver, ParameterEditorState::change);
            p->setValue(10.0f, ParameterEditor::parameterObserver, ParameterEditorState::change);
            posted.store(round, std::memory_order_release);
            while (checked.load(std::memory_order_acquire) < round && !stop.load()) {
            }
        }
        stop.store(true);
    });
    int lost = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!stop.load()) {
        core::MainQueue::shared().drain();
        const int round = posted.load(std::memory_order_acquire);
        if (round > checked.load(std::memory_order_relaxed)) {
            core::MainQueue::shared().drain();
            if (p->value() != 10.0f) {
                ++lost;
            }
            checked.store(round, std::memory_order_release);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            stop.store(true);
        }
    }
    host.join();
    core::MainQueue::shared().drain();
    EXPECT_EQ(lost, 0);
    EXPECT_GT(checked.load(), 0);
}

} // namespace
