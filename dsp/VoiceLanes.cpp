#include "dsp/VoiceLanes.hpp"

#include "dsp/VoiceLaneState.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

#if defined(__x86_64__) && defined(__GNUC__)
#define TESSARAY_VOICE_LANES 1
#include <immintrin.h>
// GCC 12 takes the deliberately undefined source operands inside its AVX-512 intrinsics for uninitialised
// variables.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif

namespace {

#if TESSARAY_VOICE_LANES
const bool kAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
const bool kAvx512 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("avx512dq");
}();
#else
constexpr bool kAvx2 = false;
constexpr bool kAvx512 = false;
#endif

// The record pair that all played shapes of the voice play, if they play one.
bool sharedPair(const BandVoice& voice, int shapes, uint64_t& current, uint64_t& next) {
    current = next = BandVoice::kNoRecord;
    for (int s = 0; s < BandVoice::kShapeCount; ++s) {
        if ((shapes & (1 << s)) == 0) {
            continue;
        }
        const BandVoice::ShapeSlot& slot = voice.shapes[s];
        if (!slot.valid) {
            return false;
        }
        if (current == BandVoice::kNoRecord) {
            current = slot.current;
            next = slot.next;
        } else if (slot.current != current || slot.next != next) {
            return false;
        }
    }
    return current != BandVoice::kNoRecord;
}

#if TESSARAY_VOICE_LANES
// exp2f as the C library computes it where the processor has FMA (glibc's table-driven algorithm with 32
// table entries and a cubic polynomial in double precision, fused where that library fuses), for eight single
// precision arguments at a time. Its agreement with the library is checked at load time, and exhaustively
// over the notes it is used for by a test.
struct Exp2Table {
    alignas(64) uint64_t entries[32]; // bits of 2^(i/32) less i << 47
};

Exp2Table makeExp2Table() {
    Exp2Table table{};
    for (uint64_t i = 0; i < 32; ++i) {
        const double value = static_cast<double>(std::exp2(static_cast<long double>(i) / 32.0L));
        table.entries[i] = std::bit_cast<uint64_t>(value) - (i << 47);
    }
    return table;
}

const Exp2Table kExp2Table = makeExp2Table();

constexpr double kShift = 0x1.8p+52 / 32.0;
constexpr double kC0 = 0x1.c6af84b912394p-5, kC1 = 0x1.ebfce50fac4f3p-3, kC2 = 0x1.62e42ff0c52d6p-1;

// The notes outside [0.5, 256) among eight (bits clear in inside) one by one: far from the notes the
// algorithm leaves its main range, and the library its main path.
void frequenciesOutside(const float* midis, int inside, float cap, float* out) {
    for (int i = 0; i < 8; ++i) {
        if ((inside & (1 << i)) == 0) {
            out[i] = VoiceLanes::frequency(midis[i], cap);
        }
    }
}

__attribute__((target("avx2,fma"), always_inline)) inline __m256d exp2Avx2(__m256d x) {
    const __m256d shift = _mm256_set1_pd(kShift);
    __m256d k = _mm256_add_pd(x, shift);
    const __m256i bits = _mm256_castpd_si256(k);
    k = _mm256_sub_pd(k, shift);
    const __m256d r = _mm256_sub_pd(x, k);
    const __m256i entry = _mm256_i64gather_epi64(reinterpret_cast<const long long*>(kExp2Table.entries),
                                                 _mm256_and_si256(bits, _mm256_set1_epi64x(31)), 8);
    const __m256d scale = _mm256_castsi256_pd(_mm256_add_epi64(entry, _mm256_slli_epi64(bits, 47)));
    const __m256d z = _mm256_fmadd_pd(_mm256_set1_pd(kC0), r, _mm256_set1_pd(kC1));
    const __m256d r2 = _mm256_mul_pd(r, r);
    __m256d y = _mm256_fmadd_pd(_mm256_set1_pd(kC2), r, _mm256_set1_pd(1.0));
    y = _mm256_fmadd_pd(z, r2, y);
    return _mm256_mul_pd(y, scale);
}

// VoiceLanes::frequency for the notes eight at a time; returns how many were done.
__attribute__((target("avx2,fma"))) uint32_t frequenciesAvx2(const float* midis, uint32_t n, float cap,
                                                             float* out) {
    const __m256 limit = _mm256_set1_ps(cap);
    uint32_t j = 0;
    for (; j + 8 <= n; j += 8) {
        const __m256 midi = _mm256_loadu_ps(midis + j);
        const __m256 x = _mm256_div_ps(_mm256_sub_ps(midi, _mm256_set1_ps(69.0f)), _mm256_set1_ps(12.0f));
        const __m128 low = _mm256_cvtpd_ps(exp2Avx2(_mm256_cvtps_pd(_mm256_castps256_ps128(x))));
        const __m128 high = _mm256_cvtpd_ps(exp2Avx2(_mm256_cvtps_pd(_mm256_extractf128_ps(x, 1))));
        const __m256 f = _mm256_mul_ps(_mm256_set1_ps(440.0f), _mm256_set_m128(high, low));
        _mm256_storeu_ps(out + j, _mm256_blendv_ps(f, limit, _mm256_cmp_ps(limit, f, _CMP_LT_OQ)));
        const int inside =
            _mm256_movemask_ps(_mm256_and_ps(_mm256_cmp_ps(midi, _mm256_set1_ps(0.5f), _CMP_GE_OQ),
                                             _mm256_cmp_ps(midi, _mm256_set1_ps(256.0f), _CMP_LT_OQ)));
        if (inside != 0xFF) [[unlikely]] {
            frequenciesOutside(midis + j, inside, cap, out + j);
        }
    }
    return j;
}

// The same with the table in registers instead of gathered.
__attribute__((target("avx512f,avx512vl,avx512dq"))) uint32_t
frequenciesAvx512(const float* midis, uint32_t n, float cap, float* out) {
    const __m512i table0 = _mm512_load_si512(kExp2Table.entries);
    const __m512i table1 = _mm512_load_si512(kExp2Table.entries + 8);
    const __m512i table2 = _mm512_load_si512(kExp2Table.entries + 16);
    const __m512i table3 = _mm512_load_si512(kExp2Table.entries + 24);
    const __m512d shift = _mm512_set1_pd(kShift);
    const __m256 limit = _mm256_set1_ps(cap);
    uint32_t j = 0;
    for (; j + 8 <= n; j += 8) {
        const __m256 midi = _mm256_loadu_ps(midis + j);
        const __m256 x = _mm256_div_ps(_mm256_sub_ps(midi, _mm256_set1_ps(69.0f)), _mm256_set1_ps(12.0f));
        const __m512d xd = _mm512_cvtps_pd(x);
        __m512d k = _mm512_add_pd(xd, shift);
        const __m512i bits = _mm512_castpd_si512(k);
        k = _mm512_sub_pd(k, shift);
        const __m512d r = _mm512_sub_pd(xd, k);
        // Entries 0-15 and 16-31 picked by the low four bits, then chosen between by the fifth.
        const __m512i entry = _mm512_mask_blend_epi64(_mm512_test_epi64_mask(bits, _mm512_set1_epi64(16)),
                                                      _mm512_permutex2var_epi64(table0, bits, table1),
                                                      _mm512_permutex2var_epi64(table2, bits, table3));
        const __m512d scale = _mm512_castsi512_pd(_mm512_add_epi64(entry, _mm512_slli_epi64(bits, 47)));
        const __m512d z = _mm512_fmadd_pd(_mm512_set1_pd(kC0), r, _mm512_set1_pd(kC1));
        const __m512d r2 = _mm512_mul_pd(r, r);
        __m512d y = _mm512_fmadd_pd(_mm512_set1_pd(kC2), r, _mm512_set1_pd(1.0));
        y = _mm512_mul_pd(_mm512_fmadd_pd(z, r2, y), scale);
        const __m256 f = _mm256_mul_ps(_mm256_set1_ps(440.0f), _mm512_cvtpd_ps(y));
        _mm256_storeu_ps(out + j, _mm256_mask_blend_ps(_mm256_cmp_ps_mask(limit, f, _CMP_LT_OQ), f, limit));
        const __mmask8 inside = _mm256_cmp_ps_mask(midi, _mm256_set1_ps(0.5f), _CMP_GE_OQ) &
                                _mm256_cmp_ps_mask(midi, _mm256_set1_ps(256.0f), _CMP_LT_OQ);
        if (inside != 0xFF) [[unlikely]] {
            frequenciesOutside(midis + j, inside, cap, out + j);
        }
    }
    return j;
}

using FrequencyRun = uint32_t (*)(const float*, uint32_t, float, float*);

// A path where the processor has it and, on a few thousand notes, it agrees with the C library (one with
// another exp2f would not).
FrequencyRun checkedRun(bool supported, FrequencyRun run) {
    if (!supported) {
        return nullptr;
    }
    float midis[4096], lanes[4096];
    for (uint32_t i = 0; i < 4096; ++i) {
        midis[i] = 0.5f + static_cast<float>(i) * (255.0f / 4096.0f) + static_cast<float>(i % 8) * 1e-5f;
    }
    run(midis, 4096, 1e9f, lanes);
    for (uint32_t i = 0; i < 4096; ++i) {
        if (std::bit_cast<uint32_t>(lanes[i]) !=
            std::bit_cast<uint32_t>(VoiceLanes::frequency(midis[i], 1e9f))) {
            return nullptr;
        }
    }
    return run;
}

const FrequencyRun kFrequencyRuns[2] = {
    checkedRun(kAvx2 && __builtin_cpu_supports("fma"), &frequenciesAvx2),
    checkedRun(kAvx512&& __builtin_cpu_supports("fma"), &frequenciesAvx512),
};
#else
using FrequencyRun = uint32_t (*)(const float*, uint32_t, float, float*);
constexpr FrequencyRun kFrequencyRuns[2] = {nullptr, nullptr};
#endif

FrequencyRun frequencyRun(VoiceLanes::Path path) {
    return kFrequencyRuns[path == VoiceLanes::Path::Avx512 ? 1 : 0];
}

} // namespace

float VoiceLanes::frequency(float midi, float cap) {
    return std::min(440.0f * std::exp2((midi - 69.0f) / 12.0f), cap);
}

bool VoiceLanes::vectorFrequencies(Path path) {
    return frequencyRun(path) != nullptr;
}

void VoiceLanes::frequencies(Path path, const float* midis, uint32_t n, float cap, float* out) {
    const FrequencyRun run = frequencyRun(path);
    uint32_t j = run != nullptr ? run(midis, n, cap, out) : 0;
    for (; j < n; ++j) {
        out[j] = frequency(midis[j], cap);
    }
}

void VoiceLanes::frequencies(const float* midis, uint32_t n, float cap, float* out) {
    frequencies(vectorFrequencies(Path::Avx512) ? Path::Avx512 : Path::Avx2, midis, n, cap, out);
}

bool VoiceLanes::has(Path path) {
    return path == Path::Avx512 ? kAvx512 : kAvx2;
}

bool VoiceLanes::fits(const BandVoice& voice, int shapes) {
    uint64_t current, next;
    return voice.phase >= 0.0 && voice.phase < 1.0 && sharedPair(voice, shapes, current, next);
}

void VoiceLanes::render(Path path, int shapes, const BandVoice::Tables& tables,
                        const BandVoice::TableViews& views, const BandVoice::SharedTable& shared,
                        const Frames& frames, int firstColumn, const Band* bands, uint32_t n) {
    if (shapes < 1 || shapes > 7 || !has(path) || firstColumn < 0 || firstColumn + lanes(path) > kMaxLanes) {
        return;
    }
    const VoiceLaneKernels::Job job{tables,
                                    views,
                                    shared,
                                    frames.weights,
                                    frames.levels[0] + firstColumn,
                                    frames.frequencies[0] + firstColumn,
                                    bands,
                                    n};
    (path == Path::Avx512 ? VoiceLaneKernels::kAvx512 : VoiceLaneKernels::kAvx2)[shapes](job);
}

namespace {

void setRecords(VoiceLaneKernels::State& st, int lane, uint64_t current, uint64_t next,
                const VoiceLaneKernels::Job& job) {
    const WavetableRecord* records = job.views[0].records;
    st.currentRecord[lane] = static_cast<int64_t>(current);
    st.nextRecord[lane] = static_cast<int64_t>(next);
    st.currentSize[lane] = static_cast<double>(records[current].length);
    st.nextSize[lane] = static_cast<double>(records[next].length);
    st.currentBase[lane] = static_cast<int32_t>(4 * job.shared.groups[current]);
    st.nextBase[lane] = static_cast<int32_t>(4 * job.shared.groups[next]);
}

} // namespace

void VoiceLaneKernels::load(State& st, int lane, const Job& job, int shapes) {
    if (job.bands[lane].voice == nullptr) {
        st.phase[lane] = 0.0;
        st.countdown[lane] = 1.0;
        setRecords(st, lane, 0, 0, job);
        return;
    }
    const BandVoice& voice = *job.bands[lane].voice;
    uint64_t current, next;
    // A voice that fits keeps fitting across cycle ends: a re-choice gives every played shape the same
    // record, and the record moving up does so in every shape.
    sharedPair(voice, shapes, current, next);
    st.phase[lane] = voice.phase;
    st.countdown[lane] = voice.countdown;
    setRecords(st, lane, current, next, job);
}

void VoiceLaneKernels::store(const State& st, int lane, const Job& job, int shapes) {
    if (job.bands[lane].voice == nullptr) {
        return;
    }
    BandVoice& voice = *job.bands[lane].voice;
    voice.phase = st.phase[lane];
    voice.countdown = st.countdown[lane];
    for (int s = 0; s < BandVoice::kShapeCount; ++s) {
        if (shapes & (1 << s)) {
            voice.shapes[s].current = static_cast<uint64_t>(st.currentRecord[lane]);
            voice.shapes[s].next = static_cast<uint64_t>(st.nextRecord[lane]);
        }
    }
}

void VoiceLaneKernels::chooseRecords(State& st, int lane, const Job& job, int shapes, uint32_t j) {
    store(st, lane, job, shapes);
    const VoiceLanes::Band& band = job.bands[lane];
    const double frequency = job.frequencies[j * kLanes + static_cast<uint32_t>(lane)];
    band.voice->cycleEnd(job.tables, BandVoice::clampNote(band.notes[j]),
                         frequency > 0.000001 ? frequency : 0.000001);
    load(st, lane, job, shapes);
}

void VoiceLaneKernels::rates(const Job& job, int width, double* rates) {
    for (int lane = 0; lane < width; ++lane) {
        const BandVoice* voice = job.bands[lane].voice;
        rates[lane] = voice != nullptr ? std::max(voice->sampleRate, 1.0) : 1.0;
    }
}

#if !TESSARAY_VOICE_LANES
const VoiceLaneKernels::Kernel VoiceLaneKernels::kAvx2[8] = {};
const VoiceLaneKernels::Kernel VoiceLaneKernels::kAvx512[8] = {};
#endif
