#include "dsp/VoiceLanes.hpp"

#include "dsp/VoiceLaneState.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

#if defined(__x86_64__) && defined(__GNUC__)
#define TESSARAY_VOICE_LANES 1
#include <immintrin.h>
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
    alignas(32) uint64_t entries[32]; // bits of 2^(i/32) less i << 47
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

__attribute__((target("avx2,fma"), always_inline)) inline __m256d exp2Lanes(__m256d x) {
    const __m256d shift = _mm256_set1_pd(0x1.8p+52 / 32.0);
    __m256d k = _mm256_add_pd(x, shift);
    const __m256i bits = _mm256_castpd_si256(k);
    k = _mm256_sub_pd(k, shift);
    const __m256d r = _mm256_sub_pd(x, k);
    const __m256i entry = _mm256_i64gather_epi64(reinterpret_cast<const long long*>(kExp2Table.entries),
                                                 _mm256_and_si256(bits, _mm256_set1_epi64x(31)), 8);
    const __m256d scale = _mm256_castsi256_pd(_mm256_add_epi64(entry, _mm256_slli_epi64(bits, 47)));
    const __m256d z =
        _mm256_fmadd_pd(_mm256_set1_pd(0x1.c6af84b912394p-5), r, _mm256_set1_pd(0x1.ebfce50fac4f3p-3));
    const __m256d r2 = _mm256_mul_pd(r, r);
    __m256d y = _mm256_fmadd_pd(_mm256_set1_pd(0x1.62e42ff0c52d6p-1), r, _mm256_set1_pd(1.0));
    y = _mm256_fmadd_pd(z, r2, y);
    return _mm256_mul_pd(y, scale);
}

// VoiceLanes::frequency for eight notes; lanes outside [0.5, 256) are computed one by one.
__attribute__((target("avx2,fma"))) void frequencyLanes(const float* midis, float cap, float* out) {
    const __m256 midi = _mm256_loadu_ps(midis);
    const __m256 x = _mm256_div_ps(_mm256_sub_ps(midi, _mm256_set1_ps(69.0f)), _mm256_set1_ps(12.0f));
    const __m128 low = _mm256_cvtpd_ps(exp2Lanes(_mm256_cvtps_pd(_mm256_castps256_ps128(x))));
    const __m128 high = _mm256_cvtpd_ps(exp2Lanes(_mm256_cvtps_pd(_mm256_extractf128_ps(x, 1))));
    const __m256 f = _mm256_mul_ps(_mm256_set1_ps(440.0f), _mm256_set_m128(high, low));
    const __m256 limit = _mm256_set1_ps(cap);
    _mm256_storeu_ps(out, _mm256_blendv_ps(f, limit, _mm256_cmp_ps(limit, f, _CMP_LT_OQ)));
    // Far from the notes the algorithm leaves its main range (and the library its main path).
    const int inside =
        _mm256_movemask_ps(_mm256_and_ps(_mm256_cmp_ps(midi, _mm256_set1_ps(0.5f), _CMP_GE_OQ),
                                         _mm256_cmp_ps(midi, _mm256_set1_ps(256.0f), _CMP_LT_OQ)));
    if (inside != 0xFF) {
        for (int i = 0; i < 8; ++i) {
            if ((inside & (1 << i)) == 0) {
                out[i] = VoiceLanes::frequency(midis[i], cap);
            }
        }
    }
}

const bool kVectorFrequencies = [] {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) {
        return false;
    }
    // A C library with another exp2f would make the lanes disagree; a few thousand notes tell.
    float midis[8], lanes[8];
    for (uint32_t i = 0; i < 4096; i += 8) {
        for (uint32_t k = 0; k < 8; ++k) {
            midis[k] = 0.5f + static_cast<float>(i + k) * (255.0f / 4096.0f) + static_cast<float>(k) * 1e-5f;
        }
        frequencyLanes(midis, 1e9f, lanes);
        for (uint32_t k = 0; k < 8; ++k) {
            if (std::bit_cast<uint32_t>(lanes[k]) !=
                std::bit_cast<uint32_t>(VoiceLanes::frequency(midis[k], 1e9f))) {
                return false;
            }
        }
    }
    return true;
}();
#else
constexpr bool kVectorFrequencies = false;
#endif

} // namespace

float VoiceLanes::frequency(float midi, float cap) {
    return std::min(440.0f * std::exp2((midi - 69.0f) / 12.0f), cap);
}

bool VoiceLanes::vectorFrequencies() {
    return kVectorFrequencies;
}

void VoiceLanes::frequencies(const float* midis, uint32_t n, float cap, float* out) {
    uint32_t j = 0;
#if TESSARAY_VOICE_LANES
    if (kVectorFrequencies) {
        for (; j + 8 <= n; j += 8) {
            frequencyLanes(midis + j, cap, out + j);
        }
    }
#endif
    for (; j < n; ++j) {
        out[j] = frequency(midis[j], cap);
    }
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
