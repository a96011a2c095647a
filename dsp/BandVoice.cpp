#include "dsp/BandVoice.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {
constexpr uint32_t kFallbackSeed = 0x7A6B5C4D;
#if TESSARAY_VOICE_AVX2
const bool kAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#else
constexpr bool kAvx2 = false;
#endif
} // namespace

bool BandVoice::hasAvx2() {
    return kAvx2;
}

bool BandVoice::SharedTable::build(const Tables& tables) {
    samples.clear();
    groups.clear();
    steps.clear();
    const auto& lead = tables[0].records;
    for (const WavetableSlot& table : tables) {
        if (!table.usable() || table.records.size() != lead.size()) {
            return false;
        }
        for (size_t r = 0; r < lead.size(); ++r) {
            if (table.records[r].start != lead[r].start || table.records[r].length != lead[r].length ||
                lead[r].length == 0) {
                return false;
            }
        }
    }
    size_t positions = 0;
    for (const WavetableRecord& record : lead) {
        positions += size_t{record.length} + 1;
    }
    // One spare position, so that the eight-float load at a record's last sample stays inside the vector
    // even for the last record.
    samples.assign(4 * (positions + 1), 0.0f);
    groups.resize(lead.size());
    size_t at = 0;
    for (size_t r = 0; r < lead.size(); ++r) {
        groups[r] = at;
        const uint32_t length = lead[r].length;
        for (uint32_t i = 0; i <= length; ++i) {
            const size_t source = lead[r].start + (i == length ? 0 : i);
            for (int s = 0; s < kShapeCount; ++s) {
                samples[4 * (at + i) + static_cast<size_t>(s)] =
                    tables[static_cast<size_t>(s)].samples[source];
            }
        }
        at += size_t{length} + 1;
    }
    steps.assign(8 * (positions + 1), 0.0);
    for (size_t p = 0; p < positions; ++p) {
        for (size_t s = 0; s < kShapeCount; ++s) {
            const double a = samples[4 * p + s];
            steps[8 * p + s] = a;
            steps[8 * p + 4 + s] = static_cast<double>(samples[4 * (p + 1) + s]) - a;
        }
    }
    return true;
}

BandVoice::BandVoice() {
    const auto ticks = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const uint32_t mixed = static_cast<uint32_t>(ticks >> 32) ^ static_cast<uint32_t>(ticks);
    randomState = mixed != 0 ? mixed : kFallbackSeed;
}

uint32_t BandVoice::seedForBand(uint32_t band) {
    const uint32_t seed = ((band + 1u) * 0x9E3779B1u) ^ 0x9E3779B9u;
    return seed != 0 ? seed : kFallbackSeed;
}

void BandVoice::shapeWeights(float x, float y, float weights[3]) {
    float k = 1.0f;
    float sine = 0.0f;
    if (!(y < 0.0f)) {
        sine = std::sqrt(std::min(y, 1.0f));
        k = 1.0f - sine;
    }
    weights[0] = x * k;
    weights[1] = (1.0f - x) * k;
    weights[2] = sine;
}

void BandVoice::cycleEnd(const Tables& tables, double note, double frequency) {
    // Equivalent to subtracting 1 per completed cycle (exact for phases below 2^53), without looping once per
    // cycle when the frequency exceeds the sample rate.
    const double wraps = std::floor(phase);
    phase = phase - wraps;
    if (!(phase >= 0.0 && phase < 1.0)) {
        phase = 0.0; // an infinite frequency
    }
    const auto advance = [this] {
        for (ShapeSlot& slot : shapes) {
            if (slot.valid) {
                slot.current = slot.next;
            }
        }
    };
    advance();
    if (countdown <= 0.0) {
        rechoose(tables, note, frequency);
        countdown = sampleRate * 0.005;
        // Later wraps of the same call move on to the record just chosen.
        if (wraps >= 2.0) {
            advance();
        }
    }
}

void BandVoice::ensureRecords(ShapeSlot& slot, const WavetableSlot& table, double note) const {
    const uint64_t count = table.records.size();
    if (slot.valid && slot.current < count && slot.next < count) {
        return;
    }
    uint64_t r = 0;
    if (count != 0) {
        const auto mapped = table.noteRemap[static_cast<size_t>(std::round(note))];
        const WavetableNoteEntry& entry = table.noteMap[mapped];
        r = entry.count != 0 ? entry.first : 0;
    }
    slot.current = slot.next = r;
    slot.valid = true;
}

double BandVoice::sampleRecord(const WavetableSlot& table, uint64_t record, double phase) {
    if (record >= table.records.size() || table.samples.empty()) {
        return 0.0;
    }
    const WavetableRecord& rec = table.records[record];
    const uint64_t len = rec.length;
    if (len == 0) {
        return 0.0;
    }
    const uint64_t size = table.samples.size();
    const double pos = (phase - std::floor(phase)) * static_cast<double>(len);
    const uint64_t i = static_cast<uint64_t>(pos) % len;
    const uint64_t ai = rec.start + i;
    const double a = ai < size ? table.samples[ai] : 0.0;
    const uint64_t bi = rec.start + (i + 1 == len ? 0 : i + 1);
    const double b = bi < size ? table.samples[bi] : a;
    return a + (b - a) * (pos - std::floor(pos));
}

void BandVoice::rechoose(const Tables& tables, double note, double frequency) {
    int first = -1;
    for (int s = 0; s < kShapeCount; ++s) {
        if (shapes[s].valid) {
            first = s;
            break;
        }
    }
    if (first < 0) {
        return;
    }
    const WavetableSlot& lead = tables[first];
    const float targetLength = static_cast<float>(lead.tableSampleRate) / static_cast<float>(frequency);
    const uint64_t idx = chooseRecord(lead, note, targetLength);
    for (int s = 0; s < kShapeCount; ++s) {
        if (shapes[s].valid) {
            const uint64_t count = tables[s].records.size();
            shapes[s].next = count != 0 ? std::min(count - 1, idx) : 0;
        }
    }
}

void BandVoice::consider(const WavetableSlot& table, uint64_t record, float logTarget) {
    // Tables put together by hand rather than parsed have no logs at hand.
    const float logLength =
        record < table.logLengths.size()
            ? table.logLengths[record]
            : std::log(static_cast<float>(std::max<uint32_t>(table.records[record].length, 1u)));
    const float d = std::fabs(logLength - logTarget);
    int at;
    if (bestCount < kBestCapacity) {
        at = bestCount++;
    } else if (d < best[kBestCapacity - 1].distance) {
        at = kBestCapacity - 1;
    } else {
        return;
    }
    // Insertion into the sorted list; equal distances keep their arrival order.
    while (at > 0 && best[at - 1].distance > d) {
        best[at] = best[at - 1];
        --at;
    }
    best[at] = {record, d};
}

uint64_t BandVoice::chooseRecord(const WavetableSlot& table, double note, float targetLength) {
    const uint64_t recordCount = table.records.size();
    if (recordCount == 0) {
        return 0;
    }
    const int centre = table.noteRemap[static_cast<size_t>(std::round(std::clamp(note, 0.0, 127.0)))];
    const int width = std::max(static_cast<int>(std::ceil(searchWidth / 200.0)), 1);
    const float logTarget = std::log(std::max(targetLength, 1.0f));

    // The candidates are visited in the order of the note window (then of the whole table when the window is
    // empty) without being collected, so the search never needs scratch storage.
    bestCount = 0;
    bool any = false;
    for (int m = centre - width; m <= centre + width; ++m) {
        if (m < 0 || m > 127) {
            continue;
        }
        const WavetableNoteEntry& entry = table.noteMap[static_cast<size_t>(m)];
        for (uint64_t r = entry.first; r < static_cast<uint64_t>(entry.first) + entry.count; ++r) {
            consider(table, r, logTarget);
            any = true;
        }
    }
    if (!any) {
        for (uint64_t r = 0; r < recordCount; ++r) {
            consider(table, r, logTarget);
        }
    }
    if (bestCount == 0) {
        return 0;
    }
    if (bestCount == 1) {
        return best[0].record;
    }

    float total = 0.0f;
    for (int i = 0; i < bestCount; ++i) {
        const float w = table.records[best[i].record].weight * (1.0f / (12.0f * best[i].distance + 0.002f));
        bestWeights[i] = std::max(w, 0.0001f);
        total += bestWeights[i];
    }
    uint32_t x = randomState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    randomState = x;
    const float threshold = total * static_cast<float>(x & 0xFFFFFFu) * (1.0f / 16777216.0f);
    float running = 0.0f;
    for (int i = 0; i < bestCount; ++i) {
        running += bestWeights[i];
        if (running >= threshold) {
            return best[i].record;
        }
    }
    return best[bestCount - 1].record;
}
