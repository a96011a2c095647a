// How long closing takes while an update check waits for a name server that never answers.
#include "core/MainQueue.hpp"
#include "updater/UpdaterController.hpp"
#include "updater/tests/TestNameServer.hpp"

#include <benchmark/benchmark.h>
#include <chrono>
#include <future>

namespace {

using updater::testing::TestNameServer;

class FixedFeed : public updater::SPUUpdaterDelegate {
public:
    std::optional<std::string> feedURLStringForUpdater(const updater::SPUUpdater&) override {
        return "https://feed.test/tessaray.xml";
    }
};

// From cancel() to fetchFeed's return, the look-up on another thread.
void BM_CancelFetchDuringUnansweredLookUp(benchmark::State& state) {
    TestNameServer names(TestNameServer::Mode::silent);
    updater::FetchOptions options;
    options.nameServers = names.servers();
    for (auto _ : state) {
        updater::FetchCancellation cancellation;
        const int before = names.queries();
        auto fetch = std::async(std::launch::async, [&] {
            try {
                updater::fetchFeed("https://feed.test/tessaray.xml", cancellation, options);
            } catch (const updater::FeedError&) {
            }
        });
        while (names.queries() == before) {
            std::this_thread::yield();
        }
        const auto start = std::chrono::steady_clock::now();
        cancellation.cancel();
        fetch.get();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_CancelFetchDuringUnansweredLookUp)->UseManualTime()->Unit(benchmark::kMillisecond);

// The application's updater destroyed (as at quitting) during a check stuck in its look-up.
void BM_DestroyUpdaterDuringUnansweredLookUp(benchmark::State& state) {
    TestNameServer names(TestNameServer::Mode::silent);
    core::MainQueue queue;
    auto delegate = std::make_shared<FixedFeed>();
    for (auto _ : state) {
        updater::UpdaterEnvironment environment;
        environment.fetch = [&names](const std::string& address, updater::FetchCancellation& cancellation) {
            updater::FetchOptions options;
            options.nameServers = names.servers();
            return updater::fetchFeed(address, cancellation, options);
        };
        environment.currentVersion = "1.0";
        environment.mainQueue = &queue;
        auto controller = std::make_unique<updater::SPUStandardUpdaterController>(
            true, delegate, std::weak_ptr<updater::SPUStandardUserDriverDelegate>(), environment);
        const int before = names.queries();
        controller->checkForUpdates(nullptr);
        while (names.queries() == before) {
            std::this_thread::yield();
        }
        const auto start = std::chrono::steady_clock::now();
        controller.reset();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        queue.drain();
    }
}
BENCHMARK(BM_DestroyUpdaterDuringUnansweredLookUp)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
