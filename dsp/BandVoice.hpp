#pragma once

#include "dsp/Wavetable.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
#define TESSARAY_VOICE_AVX2 1
#include <immintrin.h>
#endif

// Wavetable oscillator of one analysis band. Per shape (sawtooth, square, sine) it crossfades once per cycle
// from the record it plays to a record drawn at random near the band's note and cycle length.
class BandVoice {
public:
    static constexpr uint64_t kNoRecord = ~uint64_t{0};
    static constexpr int kShapeCount = 3;
    static constexpr int kBestCapacity = 5;

    struct ShapeSlot {
        uint64_t current = kNoRecord;
        uint64_t next = kNoRecord;
        bool valid = false;
    };

    struct BestEntry {
        uint64_t record = 0;
        float distance = 0.0f;
    };

    using Tables = std::array<WavetableSlot, kShapeCount>;

    // Storage on 64-byte boundaries, so that a table row never straddles two cache lines.
    template <typename T> struct RowAllocator {
        using value_type = T;
        RowAllocator() = default;
        template <typename U> RowAllocator(const RowAllocator<U>&) {}
        T* allocate(size_t n) {
            return static_cast<T*>(::operator new (n * sizeof(T), std::align_val_t{64}));
        }
        void deallocate(T* p, size_t) { ::operator delete (p, std::align_val_t{64}); }
        bool operator==(const RowAllocator&) const = default;
    };

    // The three shapes' samples side by side, [saw, square, sine, 0] per sample position, each record
    // followed by a copy of its first sample: one load then yields both interpolation points of all shapes.
    // Only for tables that share one record layout (the shipped ones do); built after loading, never on the
    // render thread, and empty otherwise.
    struct SharedTable {
        std::vector<float> samples;   // four per position
        std::vector<uint64_t> groups; // per record: the position of its first sample
        // The same positions in double precision, a 64-byte row each: [saw, square, sine, 0] at the position
        // and the step to the next position, [next - this, 0] (a guard position's row is never read). The
        // steps are the very differences the interpolation computes, so reading them changes no result.
        std::vector<double, RowAllocator<double>> steps;
        // Rebuilds from the tables; false (and empty) unless all three are usable with equal record starts
        // and lengths, none of them empty.
        bool build(const Tables& tables);
        bool usable() const { return !groups.empty(); }
    };
    // Whether the processor has the vector voice path; decided once at load time.
    static bool hasAvx2();

    // Raw pointers into the tables, taken once per block: the per-sample path then reads no vector internals.
    struct TableView {
        const float* samples = nullptr;
        const WavetableRecord* records = nullptr;
        uint64_t count = 0;
        bool usable = false;
    };
    using TableViews = std::array<TableView, kShapeCount>;
    static TableViews viewsOf(const Tables& tables) {
        TableViews views;
        for (int s = 0; s < kShapeCount; ++s) {
            views[s] = {tables[s].samples.data(), tables[s].records.data(), tables[s].records.size(),
                        tables[s].usable()};
        }
        return views;
    }

    double countdown = 0.0; // samples until a new record may be chosen
    double sampleRate = 44100.0;
    double searchWidth = 800.0;
    double phase = 0.0;
    std::array<ShapeSlot, kShapeCount> shapes{};
    std::array<BestEntry, kBestCapacity> best{};
    std::array<float, kBestCapacity> bestWeights{};
    uint8_t bestCount = 0;
    uint32_t randomState = 0;

    BandVoice();

    // The fixed seed of band b, so that the record sequence restarts identically at every prepare and reset.
    static uint32_t seedForBand(uint32_t band);

    // Shape weights from the morph pad position: y = 1 is pure sine, y = 0 morphs square (x = 0) to saw (x =
    // 1).
    static void shapeWeights(float x, float y, float weights[3]);

    float render(const Tables& tables, const float weights[3], double note, double frequency) {
        return render(tables, viewsOf(tables), weights, note, frequency);
    }
    float render(const Tables& tables, const TableViews& views, const float weights[3], double note,
                 double frequency) {
        return renderShapes<kAnyShapes>(tables, views, weights, note, frequency);
    }

    // render() for a block in which it is known per shape whether it is played (bit s of Shapes set: weight
    // at least 0.0001 and a usable table) or not; kAnyShapes decides per call. Fixed shape sets need
    // beginShapes first.
    static constexpr int kAnyShapes = -1;
    template <int Shapes>
    inline float renderShapes(const Tables& tables, const TableViews& views, const float weights[3],
                              double note, double frequency);
    // Before the first renderShapes<Shapes> of a block: unplayed shapes become invalid and played ones get
    // their records, as the first render() would do. Later renders of the block skip both checks: a record
    // choice only ever stores indices below each table's record count.
    void beginShapes(const Tables& tables, const TableViews& views, int shapesPlayed, double note) {
        for (int s = 0; s < kShapeCount; ++s) {
            ShapeSlot& slot = shapes[s];
            if ((shapesPlayed & (1 << s)) == 0) {
                slot.valid = false;
            } else if (!slot.valid || std::max(slot.current, slot.next) >= views[s].count) {
                ensureRecords(slot, tables[s], clampNote(note));
            }
        }
    }
    // renderShapes<Shapes> for frames first..n-1 of a block (after beginShapes), adding each output times its
    // level into sum; frames with a negative level are skipped. Keeps the played records' addresses at hand
    // between cycle ends.
    static constexpr uint32_t kMaxRun = 128; // the most frames one renderRun call may be given
    template <int Shapes>
    [[gnu::always_inline]] inline void
    renderRun(const Tables& tables, const TableViews& views, const float (*weights)[3], const float* levels,
              const float* notes, const float* frequencies, uint32_t first, uint32_t n, float* sum);
    // renderRun that reads played records from the shared table while all played shapes play the same
    // record pair, with the shapes side by side in vector lanes; the same results to the bit. Needs AVX2.
    template <int Shapes>
    void renderRunShared(const Tables& tables, const TableViews& views, const SharedTable& shared,
                         const float (*weights)[3], const float* levels, const float* notes,
                         const float* frequencies, uint32_t first, uint32_t n, float* sum);

    static double clampNote(double note) {
        // Written so that a NaN note (from absurd parameter values) becomes note 0, not an out-of-range
        // index.
        return note > 0.0 ? (note < 127.0 ? note : 127.0) : 0.0;
    }
    void ensureRecords(ShapeSlot& slot, const WavetableSlot& table, double note) const;
    static double sampleRecord(const WavetableSlot& table, uint64_t record, double phase);
    void rechoose(const Tables& tables, double note, double frequency);
    uint64_t chooseRecord(const WavetableSlot& table, double note, float targetLength);
    void clearShapes() { shapes.fill(ShapeSlot{}); }
    // The end of a cycle, once the phase has reached 1: the phase drops by its whole part, the next record
    // becomes the current one and, when the countdown has run out, a new next record is chosen.
    void cycleEnd(const Tables& tables, double note, double frequency);

private:
    void consider(const WavetableSlot& table, uint64_t record, float logTarget);
    // sampleRecord for a valid record index of a loaded table and a phase already reduced to [0, 1).
    static double sampleAt(const TableView& table, uint64_t record, double cyclePhase);
    struct Cycle {
        const float* samples;
        uint32_t length;
        double size; // the length as a double, converted once per record instead of once per sample
    };
    static double sampleCycle(Cycle cycle, double cyclePhase);
    struct SharedCycle {
        const float* positions; // the record's first position in the shared table
        uint32_t length;
        double size;
    };
    // What renderRunShared keeps of the played records between cycle ends.
    struct LaneState {
        Cycle current[kShapeCount] = {};
        Cycle next[kShapeCount] = {};
        bool repeat[kShapeCount] = {};
        SharedCycle sharedCurrent{}, sharedNext{};
        bool lanes = false;    // all played shapes play one record pair: the shared table serves them
        bool sameNext = false; // ... and that pair is one record
    };
#if TESSARAY_VOICE_AVX2
    static __m256d sampleLanes(const SharedCycle& cycle, double cyclePhase);
    template <int Shapes>
    static float laneFrameOutput(const LaneState& st, const float weights[3], double x, double cyclePhase);
#endif
};

// The per-sample path lives here so that the engine's band loop can inline it.

inline double BandVoice::sampleCycle(Cycle cycle, double cyclePhase) {
    const uint32_t len = cycle.length;
    if (len == 0) {
        return 0.0;
    }
    const double pos = cyclePhase * cycle.size;
    // pos >= 0, so truncation is floor; it reaches len only when rounding lifts a phase just below 1.
    const int64_t whole = static_cast<int64_t>(pos);
    const double fraction = pos - static_cast<double>(whole);
    const uint32_t i = whole < len ? static_cast<uint32_t>(whole) : static_cast<uint32_t>(whole % len);
    const double a = cycle.samples[i];
    const double b = cycle.samples[i + 1 == len ? 0 : i + 1];
    return a + (b - a) * fraction;
}

inline double BandVoice::sampleAt(const TableView& table, uint64_t record, double cyclePhase) {
    // The loader guarantees start + length <= sample count, so every read is inside the array.
    const WavetableRecord& rec = table.records[record];
    return sampleCycle({table.samples + rec.start, rec.length, static_cast<double>(rec.length)}, cyclePhase);
}

template <int Shapes>
inline float BandVoice::renderShapes(const Tables& tables, const TableViews& views, const float weights[3],
                                     double note, double frequency) {
    const double x = phase < 0.0 ? 0.0 : (phase > 1.0 ? 1.0 : phase);
    const double fade = x * x * (3.0 - 2.0 * x);
    // Written so that a NaN frequency becomes the lowest one instead of a phase that is NaN for good.
    const double f = frequency > 0.000001 ? frequency : 0.000001;
    const double cyclePhase = (phase >= 0.0 && phase < 1.0) ? phase : phase - std::floor(phase);

    float out = 0.0f;
    const auto shape = [&](int s) {
        ShapeSlot& slot = shapes[s];
        const TableView& table = views[s];
        if constexpr (Shapes == kAnyShapes) {
            if (weights[s] < 0.0001f || !table.usable) {
                slot.valid = false;
                return;
            }
        } else if ((Shapes & (1 << s)) == 0) {
            return;
        }
        if constexpr (Shapes == kAnyShapes) {
            if (!slot.valid || std::max(slot.current, slot.next) >= table.count) [[unlikely]] {
                ensureRecords(slot, tables[s], clampNote(note));
            }
        }
        const double a = sampleAt(table, slot.current, cyclePhase);
        const double b = slot.next == slot.current ? a : sampleAt(table, slot.next, cyclePhase);
        out = out + weights[s] * static_cast<float>(a * (1.0 - fade) + fade * b);
    };
    shape(0);
    shape(1);
    shape(2);

    phase = phase + f / std::max(sampleRate, 1.0);
    countdown = countdown - 1.0;
    if (phase >= 1.0) [[unlikely]] {
        cycleEnd(tables, clampNote(note), f);
    }
    return out;
}

template <int Shapes>
inline void BandVoice::renderRun(const Tables& tables, const TableViews& views, const float (*weights)[3],
                                 const float* levels, const float* notes, const float* frequencies,
                                 uint32_t first, uint32_t n, float* sum) {
    static_assert(Shapes >= 0 && Shapes < (1 << kShapeCount));
    Cycle current[kShapeCount] = {};
    Cycle next[kShapeCount] = {};
    bool repeat[kShapeCount] = {};
    const auto refresh = [&] {
        for (int s = 0; s < kShapeCount; ++s) {
            if (Shapes & (1 << s)) {
                const WavetableRecord& a = views[s].records[shapes[s].current];
                const WavetableRecord& b = views[s].records[shapes[s].next];
                current[s] = {views[s].samples + a.start, a.length, static_cast<double>(a.length)};
                next[s] = {views[s].samples + b.start, b.length, static_cast<double>(b.length)};
                repeat[s] = shapes[s].next == shapes[s].current;
            }
        }
    };
    refresh();
    // The phase increments do not depend on the voice's state: divide them all up front, where the
    // divisions can run side by side.
    const double rate = std::max(sampleRate, 1.0);
    double increments[kMaxRun];
    for (uint32_t j = first; j < n; ++j) {
        const double frequency = frequencies[j];
        increments[j] = (frequency > 0.000001 ? frequency : 0.000001) / rate;
    }
    const auto frameOutput = [&](uint32_t j, double x, double cyclePhase) {
        const double fade = x * x * (3.0 - 2.0 * x);
        float out = 0.0f;
        for (int s = 0; s < kShapeCount; ++s) {
            if (Shapes & (1 << s)) {
                const double a = sampleCycle(current[s], cyclePhase);
                const double b = repeat[s] ? a : sampleCycle(next[s], cyclePhase);
                out = out + weights[j][s] * static_cast<float>(a * (1.0 - fade) + fade * b);
            }
        }
        return out;
    };
    // The phase and the countdown live in locals, so that they stay in registers across the frames; the
    // members are only brought up to date around a cycle end.
    double ph = phase;
    double left = countdown;
    uint32_t j = first;
    while (j < n) {
        if (levels[j] < 0.0f) {
            ++j;
            continue;
        }
        float out;
        if (ph >= 0.0 && ph < 1.0) [[likely]] {
            // The phase only grows, so until the cycle ends it stays in [0, 1) and needs neither clamping nor
            // wrapping; the played records stay the same too.
            for (;;) {
                out = frameOutput(j, ph, ph);
                ph = ph + increments[j];
                left = left - 1.0;
                if (ph >= 1.0) [[unlikely]] {
                    break;
                }
                sum[j] = sum[j] + out * levels[j];
                do {
                    ++j;
                } while (j < n && levels[j] < 0.0f);
                if (j == n) {
                    break;
                }
            }
            if (j == n) {
                break;
            }
        } else {
            const double x = ph < 0.0 ? 0.0 : (ph > 1.0 ? 1.0 : ph);
            out = frameOutput(j, x, ph - std::floor(ph));
            ph = ph + increments[j];
            left = left - 1.0;
            if (!(ph >= 1.0)) {
                sum[j] = sum[j] + out * levels[j];
                ++j;
                continue;
            }
        }
        phase = ph;
        countdown = left;
        const double frequency = frequencies[j];
        cycleEnd(tables, clampNote(notes[j]), frequency > 0.000001 ? frequency : 0.000001);
        refresh();
        ph = phase;
        left = countdown;
        sum[j] = sum[j] + out * levels[j];
        ++j;
    }
    phase = ph;
    countdown = left;
}

#if TESSARAY_VOICE_AVX2
// sampleCycle for the three shapes at once: at a position of the shared table the eight floats are both
// interpolation points of every shape.
__attribute__((target("avx2"), always_inline)) inline __m256d BandVoice::sampleLanes(const SharedCycle& cycle,
                                                                                     double cyclePhase) {
    const double pos = cyclePhase * cycle.size;
    const int64_t whole = static_cast<int64_t>(pos);
    const double fraction = pos - static_cast<double>(whole);
    const uint32_t len = cycle.length;
    const uint32_t i = whole < len ? static_cast<uint32_t>(whole) : static_cast<uint32_t>(whole % len);
    const __m256 ab = _mm256_loadu_ps(cycle.positions + 4 * static_cast<size_t>(i));
    const __m256d a = _mm256_cvtps_pd(_mm256_castps256_ps128(ab));
    const __m256d b = _mm256_cvtps_pd(_mm256_extractf128_ps(ab, 1));
    return _mm256_add_pd(a, _mm256_mul_pd(_mm256_sub_pd(b, a), _mm256_set1_pd(fraction)));
}

template <int Shapes>
__attribute__((target("avx2"), always_inline)) inline float
BandVoice::laneFrameOutput(const LaneState& st, const float weights[3], double x, double cyclePhase) {
    const double fade = x * x * (3.0 - 2.0 * x);
    float out = 0.0f;
    if (st.lanes) {
        const __m256d a = sampleLanes(st.sharedCurrent, cyclePhase);
        const __m256d b = st.sameNext ? a : sampleLanes(st.sharedNext, cyclePhase);
        const __m256d mixed = _mm256_add_pd(_mm256_mul_pd(a, _mm256_set1_pd(1.0 - fade)),
                                            _mm256_mul_pd(_mm256_set1_pd(fade), b));
        alignas(16) float shapeOut[4];
        _mm_store_ps(shapeOut, _mm256_cvtpd_ps(mixed));
        for (int s = 0; s < kShapeCount; ++s) {
            if (Shapes & (1 << s)) {
                out = out + weights[s] * shapeOut[s];
            }
        }
        return out;
    }
    for (int s = 0; s < kShapeCount; ++s) {
        if (Shapes & (1 << s)) {
            const double a = sampleCycle(st.current[s], cyclePhase);
            const double b = st.repeat[s] ? a : sampleCycle(st.next[s], cyclePhase);
            out = out + weights[s] * static_cast<float>(a * (1.0 - fade) + fade * b);
        }
    }
    return out;
}

// The scalar renderRun with frameOutput reading the shared table. Each lane performs the scalar code's
// operations on one shape (subtraction, multiplication and addition in double precision, never fused), and
// the weighted shape outputs are summed in shape order as before.
template <int Shapes>
__attribute__((target("avx2"))) void
BandVoice::renderRunShared(const Tables& tables, const TableViews& views, const SharedTable& shared,
                           const float (*weights)[3], const float* levels, const float* notes,
                           const float* frequencies, uint32_t first, uint32_t n, float* sum) {
    static_assert(Shapes >= 0 && Shapes < (1 << kShapeCount));
    LaneState st;
    const auto refresh = [&] {
        uint64_t cur = kNoRecord, nxt = kNoRecord;
        bool same = true;
        for (int s = 0; s < kShapeCount; ++s) {
            if (Shapes & (1 << s)) {
                const WavetableRecord& a = views[s].records[shapes[s].current];
                const WavetableRecord& b = views[s].records[shapes[s].next];
                st.current[s] = {views[s].samples + a.start, a.length, static_cast<double>(a.length)};
                st.next[s] = {views[s].samples + b.start, b.length, static_cast<double>(b.length)};
                st.repeat[s] = shapes[s].next == shapes[s].current;
                if (cur == kNoRecord) {
                    cur = shapes[s].current;
                    nxt = shapes[s].next;
                }
                same = same && shapes[s].current == cur && shapes[s].next == nxt;
            }
        }
        st.lanes = same && cur != kNoRecord;
        if (st.lanes) {
            const WavetableRecord& a = views[0].records[cur];
            const WavetableRecord& b = views[0].records[nxt];
            st.sharedCurrent = {shared.samples.data() + 4 * shared.groups[cur], a.length,
                                static_cast<double>(a.length)};
            st.sharedNext = {shared.samples.data() + 4 * shared.groups[nxt], b.length,
                             static_cast<double>(b.length)};
            st.sameNext = cur == nxt;
        }
    };
    refresh();
    const double rate = std::max(sampleRate, 1.0);
    double increments[kMaxRun];
    for (uint32_t j = first; j < n; ++j) {
        const double frequency = frequencies[j];
        increments[j] = (frequency > 0.000001 ? frequency : 0.000001) / rate;
    }
    double ph = phase;
    double left = countdown;
    uint32_t j = first;
    while (j < n) {
        if (levels[j] < 0.0f) {
            ++j;
            continue;
        }
        float out;
        if (ph >= 0.0 && ph < 1.0) [[likely]] {
            for (;;) {
                out = laneFrameOutput<Shapes>(st, weights[j], ph, ph);
                ph = ph + increments[j];
                left = left - 1.0;
                if (ph >= 1.0) [[unlikely]] {
                    break;
                }
                sum[j] = sum[j] + out * levels[j];
                do {
                    ++j;
                } while (j < n && levels[j] < 0.0f);
                if (j == n) {
                    break;
                }
            }
            if (j == n) {
                break;
            }
        } else {
            const double x = ph < 0.0 ? 0.0 : (ph > 1.0 ? 1.0 : ph);
            out = laneFrameOutput<Shapes>(st, weights[j], x, ph - std::floor(ph));
            ph = ph + increments[j];
            left = left - 1.0;
            if (!(ph >= 1.0)) {
                sum[j] = sum[j] + out * levels[j];
                ++j;
                continue;
            }
        }
        phase = ph;
        countdown = left;
        const double frequency = frequencies[j];
        cycleEnd(tables, clampNote(notes[j]), frequency > 0.000001 ? frequency : 0.000001);
        refresh();
        ph = phase;
        left = countdown;
        sum[j] = sum[j] + out * levels[j];
        ++j;
    }
    phase = ph;
    countdown = left;
}
#else
template <int Shapes>
void BandVoice::renderRunShared(const Tables& tables, const TableViews& views, const SharedTable&,
                                const float (*weights)[3], const float* levels, const float* notes,
                                const float* frequencies, uint32_t first, uint32_t n, float* sum) {
    renderRun<Shapes>(tables, views, weights, levels, notes, frequencies, first, n, sum);
}
#endif
