// Costs of the platform core's reactive, text and document services.
#include "core/CollectionDifference.hpp"
#include "core/Formatter.hpp"
#include "core/Publisher.hpp"
#include "core/RecentDocuments.hpp"
#include "core/Unicode.hpp"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>

namespace {

void BM_SubjectSendToEightSinks(benchmark::State& state) {
    core::PassthroughSubject<int> subject;
    long sum = 0;
    std::vector<core::AnyCancellable> sinks;
    for (int i = 0; i < 8; ++i) {
        subject.sink([&sum](const int& v) { sum += v; }).store(sinks);
    }
    for (auto _ : state) {
        subject.send(1);
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_SubjectSendToEightSinks);

void BM_DifferenceOfThousandRows(benchmark::State& state) {
    std::vector<int> from(1000), to;
    for (int i = 0; i < 1000; ++i) {
        from[static_cast<std::size_t>(i)] = i;
        if (i % 10 != 0) {
            to.push_back(i);
        }
        if (i % 25 == 0) {
            to.push_back(-i);
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(core::CollectionDifference<int>::between(from, to));
    }
}
BENCHMARK(BM_DifferenceOfThousandRows)->Unit(benchmark::kMicrosecond);

void BM_LocalizedSearchInARow(benchmark::State& state) {
    const std::string row =
        "Ghost Choir \u2014 slow evolving pad with a shimmering caf\u00e9 tail and a bright top";
    for (auto _ : state) {
        benchmark::DoNotOptimize(core::localizedStandardRange(row, "CAFE", "en_US"));
    }
}
BENCHMARK(BM_LocalizedSearchInARow)->Unit(benchmark::kMicrosecond);

void BM_NumberFormatterRoundTrip(benchmark::State& state) {
    core::NumberFormatter formatter("de_DE");
    formatter.setNumberStyle(core::NumberFormatter::Style::decimal);
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatter.number(*formatter.string(1234.567)));
    }
}
BENCHMARK(BM_NumberFormatterRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_NoteRecentDocumentInAListOf200(benchmark::State& state) {
    const auto file = std::filesystem::temp_directory_path() / "core-bench-recently-used.xbel";
    std::filesystem::remove(file);
    core::RecentDocuments others("Other", {}, file);
    for (int i = 0; i < 200; ++i) {
        others.noteNewRecentDocumentURL(core::URL::fileURL("/home/me/file" + std::to_string(i) + ".txt"));
    }
    core::RecentDocuments recents("Tessaray", {}, file);
    int i = 0;
    for (auto _ : state) {
        recents.noteNewRecentDocumentURL(
            core::URL::fileURL("/home/me/song" + std::to_string(i++ % 10) + ".tsr"));
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_NoteRecentDocumentInAListOf200)->Unit(benchmark::kMicrosecond);

} // namespace
