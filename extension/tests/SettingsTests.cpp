#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "extension/Settings.hpp"
#include "extension/TessarayAudioUnit.hpp"
#include "extension/UpdateCheck.hpp"
#include "updater/tests/TestNameServer.hpp"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Counts writes into the kernel, so a test can tell whether the poll wrote back.
class CountingUnit : public TessarayAudioUnit {
public:
    CountingUnit() : TessarayAudioUnit(defaultComponentDescription(), 0, nullptr) {}
    void setParameter(uint64_t address, float value) override {
        ++writes;
        TessarayAudioUnit::setParameter(address, value);
    }
    int writes = 0;
};

const FactoryPreset& preset(const std::string& name) {
    return factoryPresetList()[static_cast<std::size_t>(indexOfFactoryPreset(factoryPresetList(), name))];
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        core::claimMainThread();
        core::MainQueue::shared().drain();
        // Tests never touch the network.
        previousFetcher_ = setUpdateFeedFetcher([this](const std::string& address, FetchCancellation&) {
            fetchedAddress_ = address;
            if (!feed_) {
                throw UpdateFeedError("offline");
            }
            return *feed_;
        });
        settings = Settings::create();
    }
    void TearDown() override {
        if (settings) {
            settings->waitForUpdateChecks();
        }
        core::MainQueue::shared().drain();
        setUpdateFeedFetcher(previousFetcher_);
    }

    // Attaches as the editor's view controller does.
    std::shared_ptr<CountingUnit> attach() {
        auto unit = std::make_shared<CountingUnit>();
        settings->configureAudioUnit(unit);
        settings->setupParameterTreeListeners();
        settings->waitForUpdateChecks();
        return unit;
    }

    std::shared_ptr<Settings> settings;
    std::optional<std::string> feed_;
    std::string fetchedAddress_;
    UpdateFeedFetcher previousFetcher_;
};

TEST_F(SettingsTest, PresetSelectionAndWrapAround) {
    EXPECT_EQ(settings->currentPresetIndex.get(), 0);
    settings->blur()->setObservedValue(55.0f);
    settings->selectPreset("Slow Melt");
    EXPECT_EQ(settings->currentPresetIndex.get(), 3);
    settings->selectPreset("Nope");
    EXPECT_EQ(settings->currentPreset(), std::nullopt);
    settings->selectPreset("");
    EXPECT_EQ(settings->currentPresetIndex.get(), 0);
    EXPECT_EQ(settings->blur()->value(), 55.0f) << "selecting changes no parameter";

    settings->previousPreset();
    EXPECT_EQ(settings->currentPreset()->name, "Feedback Fever");
    settings->nextPreset();
    EXPECT_EQ(settings->currentPreset()->name, "Default");

    settings->currentPresetIndex = std::nullopt;
    settings->nextPreset();
    EXPECT_EQ(settings->currentPresetIndex.get(), 0);
    settings->currentPresetIndex = std::nullopt;
    settings->previousPreset();
    EXPECT_EQ(settings->currentPresetIndex.get(), 5);
}

TEST_F(SettingsTest, AppliedPresetIsNotModifiedUntilADialMoves) {
    settings->applyPreset(preset("Ghost Choir"));
    EXPECT_TRUE(settings->isApplyingPreset.get());
    EXPECT_FALSE(settings->isCurrentPresetModified());
    core::MainQueue::shared().drain();
    EXPECT_FALSE(settings->isApplyingPreset.get());
    EXPECT_EQ(settings->morphY()->value(), 0.5625f);
    EXPECT_FALSE(settings->isCurrentPresetModified());

    settings->age()->setValue(9.0f, ParameterEditor::ui, ParameterEditorState::change);
    core::MainQueue::shared().drain();
    EXPECT_TRUE(settings->isCurrentPresetModified());
    settings->age()->setValue(8.0f, ParameterEditor::ui, ParameterEditorState::change);
    core::MainQueue::shared().drain();
    EXPECT_FALSE(settings->isCurrentPresetModified());

    // "Default" puts every parameter back.
    settings->applyPreset(preset("Default"));
    core::MainQueue::shared().drain();
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(settings->parameters()[i]->value(), kParameterTable[i].defaultValue);
    }
}

TEST_F(SettingsTest, AppliedPresetReachesTheKernelAndTheUnitsName) {
    auto unit = attach();
    const auto& kernel = unit->sharedState();
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(kernel.paramValues[kParameterTable[i].address].load(), kParameterTable[i].defaultValue);
    }
    EXPECT_EQ(unit->writes, 18) << "one push per parameter";

    const auto& ghost = preset("Ghost Choir");
    settings->applyPreset(ghost);
    const auto values = ghost.values();
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(kernel.paramValues[kParameterTable[i].address].load(), values[i])
            << kParameterTable[i].identifier;
    }
    EXPECT_EQ(unit->currentPresetName(), "Ghost Choir");
    EXPECT_EQ(settings->currentPresetIndex.get(), 1);
}

TEST_F(SettingsTest, PresetNameFromTheHostThreadLandsOnTheMainQueue) {
    auto unit = std::make_shared<CountingUnit>();
    unit->setCurrentPresetName("Sub Monster");
    settings->configureAudioUnit(unit);
    EXPECT_EQ(settings->currentPresetIndex.get(), 4) << "attaching picks up the unit's name";

    audiounit::StateDictionary saved = *unit->fullState();
    saved[TessarayAudioUnit::presetNameKey] = std::string("Slow Melt");
    std::thread host([&] { unit->setFullState(saved); });
    host.join();
    EXPECT_EQ(settings->currentPresetIndex.get(), 4) << "not written off the main thread";
    core::MainQueue::shared().drain();
    EXPECT_EQ(settings->currentPresetIndex.get(), 3);

    saved[TessarayAudioUnit::presetNameKey] = std::string("");
    unit->setFullState(saved);
    core::MainQueue::shared().drain();
    EXPECT_EQ(settings->currentPresetIndex.get(), 0);
}

TEST_F(SettingsTest, PollCopiesAnalyserAndFlaggedValuesWithoutWritingTheKernel) {
    auto unit = attach();
    auto& shared = unit->sharedState();
    shared.vizBandCount = 24;
    for (int i = 0; i < DSPSharedState::kBands; ++i) {
        shared.vizBandAmps[i] = 0.01f * static_cast<float>(i);
    }
    shared.vizRangeLo = 150.0f;
    shared.vizRangeHi = 6000.0f;
    shared.paramValues[0] = 24.0f;
    shared.paramValues[17] = 0.25f;
    shared.paramValues[3] = 300.0f; // not flagged: must not be picked up
    shared.dirtyMask = (1u << 0) | (1u << 17) | (1u << 25);

    std::vector<std::string> updates;
    std::vector<core::ObservationToken> tokens;
    for (const auto& parameter : settings->parameters()) {
        tokens.push_back(parameter->observeValue(
            [&updates, id = parameter->identifier()](float) { updates.push_back(id); }));
    }
    const int writesBefore = unit->writes;
    settings->pollKernelState();
    EXPECT_EQ(shared.dirtyMask.load(), 0u);
    ASSERT_EQ(settings->analyzerBandAmps.get().size(), 24u);
    EXPECT_EQ(settings->analyzerBandAmps.get()[23], 0.01f * 23.0f);
    EXPECT_EQ(settings->analyzerRangeHi.get(), 6000.0f);
    core::MainQueue::shared().drain();
    EXPECT_EQ(updates, (std::vector<std::string>{"bands", "morphX"}));
    EXPECT_EQ(settings->morphX()->value(), 0.25f);
    EXPECT_EQ(settings->slice()->value(), 10.0f);
    EXPECT_EQ(unit->writes, writesBefore) << "the poll never writes back into the kernel";

    // A count the kernel never publishes is not trusted for the array size.
    shared.vizBandCount = -3;
    settings->pollKernelState();
    EXPECT_TRUE(settings->analyzerBandAmps.get().empty());
    shared.vizBandCount = 1000;
    settings->pollKernelState();
    EXPECT_EQ(settings->analyzerBandAmps.get().size(), 64u);

    // Gone unit: the poll returns at once.
    const auto amps = settings->analyzerBandAmps.get();
    unit.reset();
    settings->pollKernelState();
    EXPECT_EQ(settings->analyzerBandAmps.get(), amps);
}

TEST_F(SettingsTest, PollTimerFiresSixtyTimesASecondAndStopsWithTheModel) {
    auto clock = std::make_shared<core::ManualClock>();
    auto& loop = core::RunLoop::main();
    const auto previousClock = loop.clock();
    loop.setClock(clock);
    auto unit = attach();
    const auto timer = settings->pollTimer();
    ASSERT_TRUE(timer && timer->isValid());
    EXPECT_EQ(timer->interval(), std::chrono::nanoseconds(16'666'666));

    unit->sharedState().vizBandCount = 3;
    clock->advance(std::chrono::milliseconds(17));
    loop.fireDueTimers();
    EXPECT_EQ(settings->analyzerBandAmps.get().size(), 3u);

    settings.reset();
    EXPECT_FALSE(timer->isValid());
    loop.setClock(previousClock);
}

TEST_F(SettingsTest, ValueProviderAnswersFromTheKernelThenFromTheParameter) {
    auto unit = attach();
    const auto note = unit->parameterTree()->parameterWithAddress(11);
    settings->note()->setValue(100.0f, ParameterEditor::ui, ParameterEditorState::change);
    unit->TessarayAudioUnit::setParameter(11, 250.0f);
    EXPECT_EQ(note->value(), 250.0f);

    unit.reset();
    EXPECT_EQ(note->value(), 100.0f);
}

TEST_F(SettingsTest, UpdateCheckAnnouncesNewerVersionsOnTheMainQueue) {
    // A transport error changes nothing.
    EXPECT_THROW(settings->checkForUpdates(), UpdateFeedError);
    EXPECT_FALSE(settings->updateDetails.get());
    EXPECT_EQ(fetchedAddress_, std::string(kUpdateFeedAddress));

    feed_ = "<rss><item><sparkle:shortVersionString>999.0</sparkle:shortVersionString></item></rss>";
    settings->startUpdateCheck();
    settings->waitForUpdateChecks();
    EXPECT_FALSE(settings->updateDetails.get()) << "the worker hands the result to the main queue";
    core::MainQueue::shared().drain();
    ASSERT_TRUE(settings->updateDetails.get());
    EXPECT_EQ(settings->updateDetails.get()->newVersion, "999.0");
    // A feed with nothing newer never clears what an earlier check found.
    feed_ = "<rss/>";
    settings->checkForUpdates();
    EXPECT_EQ(settings->updateDetails.get()->newVersion, "999.0");

    // Results that arrive after the model is gone are dropped.
    feed_ = "<rss><sparkle:shortVersionString>1000.0</sparkle:shortVersionString></rss>";
    settings->startUpdateCheck();
    settings.reset();
    core::MainQueue::shared().drain();
}

// A peer on this machine that accepts connections (the kernel completes them) and never says a word.
class SilentPeer {
public:
    SilentPeer() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            listen(fd_, 8) == 0 && getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~SilentPeer() {
        if (client_ >= 0) {
            close(client_);
        }
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int port() const { return port_; }

    // Waits (up to ten seconds) until a client has connected and sent its first bytes, the TLS hello: from
    // then on the client can only be waiting for an answer that never comes.
    bool awaitHello() {
        pollfd listening{fd_, POLLIN, 0};
        if (poll(&listening, 1, 10000) != 1) {
            return false;
        }
        client_ = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        pollfd connection{client_, POLLIN, 0};
        char byte = 0;
        return client_ >= 0 && poll(&connection, 1, 10000) == 1 && recv(client_, &byte, 1, MSG_PEEK) == 1;
    }

private:
    int client_ = -1;
    int fd_ = -1;
    int port_ = 0;
};

TEST_F(SettingsTest, DestructionWakesAStuckUpdateCheckAtOnceAndFinishedChecksAreJoined) {
    // Finished checks do not pile up as threads: each start joins the ones that have ended.
    std::atomic<int> fetches{0};
    setUpdateFeedFetcher([&](const std::string&, FetchCancellation&) -> std::string {
        fetches.fetch_add(1);
        throw UpdateFeedError("offline");
    });
    for (int i = 1; i <= 5; ++i) {
        settings->startUpdateCheck();
        while (fetches.load() < i) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // lets the thread run to its end
    }
    EXPECT_LE(settings->updateCheckThreadCount(), 2u);
    settings->waitForUpdateChecks();

    // The real downloader against a peer that never answers the TLS handshake.
    SilentPeer peer;
    ASSERT_NE(peer.port(), 0);
    const std::string address = "https://127.0.0.1:" + std::to_string(peer.port()) + "/feed.xml";
    std::atomic<int64_t> noticedAt{0};
    setUpdateFeedFetcher([&](const std::string&, FetchCancellation& cancellation) {
        try {
            return fetchUpdateFeed(address, cancellation);
        } catch (...) {
            noticedAt.store(cancellation.noticedAt());
            throw;
        }
    });
    settings->startUpdateCheck();
    ASSERT_TRUE(peer.awaitHello());
    // After its hello the client still loads its certificate store before it waits for the answer; let it
    // settle into that wait. The sanitizers slow everything several times over, and on a busy machine the
    // store can still be loading when the model goes (the transfer notices between two steps of libcurl's),
    // so their bounds only tell a wake-up from the ten-second time-out.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    constexpr auto kSettle = std::chrono::milliseconds(1500), kNotice = std::chrono::milliseconds(4000),
                   kDestroy = std::chrono::milliseconds(6000);
#else
    constexpr auto kSettle = std::chrono::milliseconds(300), kNotice = std::chrono::milliseconds(100),
                   kDestroy = std::chrono::milliseconds(300);
#endif
    std::this_thread::sleep_for(kSettle);
    const auto before = std::chrono::steady_clock::now();
    settings.reset();
    const auto took = std::chrono::steady_clock::now() - before;
    // The wait is woken at once (it would otherwise last until libcurl's ten-second connect time-out), then
    // TLS is torn down: about 25 ms in all in a release build.
    ASSERT_NE(noticedAt.load(), 0);
    EXPECT_LT(std::chrono::nanoseconds(noticedAt.load()) - before.time_since_epoch(), kNotice);
    EXPECT_LT(took, kDestroy);
}

// A check waiting for a name server that never answers is given up at once when the model goes, and
// leaves no thread behind (the editor's host may unload the code right after).
TEST_F(SettingsTest, DestructionDuringAnUnansweredLookUpReturnsAtOnceAndLeavesNoThread) {
    updater::testing::TestNameServer names(updater::testing::TestNameServer::Mode::silent);
    setUpdateFeedFetcher([&names](const std::string& address, FetchCancellation& cancellation) {
        updater::FetchOptions options;
        options.nameServers = names.servers();
        return updater::fetchFeed(address, cancellation, options);
    });
    const int threads = updater::testing::threadCount();
    settings->startUpdateCheck();
    ASSERT_TRUE(names.awaitQuery());
    const auto before = std::chrono::steady_clock::now();
    settings.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_EQ(updater::testing::threadCount(), threads);
}

// The editor binds its controls to the parameter fields: each is an observed property of its own.
TEST_F(SettingsTest, ParameterFieldsAreObservedByIdentity) {
    int changes = 0;
    const auto tracking = core::withObservationTracking([&] { (void)settings->mix(); }, [&] { ++changes; });
    const auto original = settings->mix();
    settings->setMix(original);
    settings->setBlur(AudioParameter::dummyParam());
    EXPECT_EQ(changes, 0) << "the same object, or another field, changes nothing for a reader of mix";

    std::vector<std::shared_ptr<AudioParameter>> seen;
    const auto token = settings->parameterField(8).observe([&](const auto& p) { seen.push_back(p); });
    const auto replacement = AudioParameter::dummyParam();
    settings->setMix(replacement);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], replacement);
    EXPECT_EQ(settings->mix(), replacement);
    settings->parameterField(8).set(replacement);
    EXPECT_EQ(seen.size(), 1u);
}

} // namespace
