#include "dsp/VoiceLanes.hpp"

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
#else
constexpr bool kAvx2 = false;
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

bool VoiceLanes::available() {
    return kAvx2;
}

bool VoiceLanes::fits(const BandVoice& voice, int shapes) {
    uint64_t current, next;
    return voice.phase >= 0.0 && voice.phase < 1.0 && sharedPair(voice, shapes, current, next);
}

#if TESSARAY_VOICE_LANES
namespace {

// What the lanes keep of their voices, in memory between the register-resident stretches. Offsets count
// floats of the shared table; the loader's size limit keeps them far below 2^31.
constexpr int kLanes = VoiceLanes::kLanes;

struct alignas(32) LaneState {
    double phase[kLanes];
    double countdown[kLanes];
    double currentSize[kLanes];
    double nextSize[kLanes];
    int64_t currentRecord[kLanes];
    int64_t nextRecord[kLanes];
    int32_t currentBase[kLanes];
    int32_t nextBase[kLanes];
};

void setRecords(LaneState& st, int lane, uint64_t current, uint64_t next, const BandVoice::TableViews& views,
                const BandVoice::SharedTable& shared) {
    st.currentRecord[lane] = static_cast<int64_t>(current);
    st.nextRecord[lane] = static_cast<int64_t>(next);
    st.currentSize[lane] = static_cast<double>(views[0].records[current].length);
    st.nextSize[lane] = static_cast<double>(views[0].records[next].length);
    st.currentBase[lane] = static_cast<int32_t>(4 * shared.groups[current]);
    st.nextBase[lane] = static_cast<int32_t>(4 * shared.groups[next]);
}

void loadLane(LaneState& st, int lane, const BandVoice& voice, int shapes, const BandVoice::TableViews& views,
              const BandVoice::SharedTable& shared) {
    uint64_t current, next;
    // A voice that fits keeps fitting across cycle ends: a re-choice gives every played shape the same
    // record, and the record moving up does so in every shape.
    sharedPair(voice, shapes, current, next);
    st.phase[lane] = voice.phase;
    st.countdown[lane] = voice.countdown;
    setRecords(st, lane, current, next, views, shared);
}

void storeLane(const LaneState& st, int lane, BandVoice& voice, int shapes) {
    voice.phase = st.phase[lane];
    voice.countdown = st.countdown[lane];
    for (int s = 0; s < BandVoice::kShapeCount; ++s) {
        if (shapes & (1 << s)) {
            voice.shapes[s].current = static_cast<uint64_t>(st.currentRecord[lane]);
            voice.shapes[s].next = static_cast<uint64_t>(st.nextRecord[lane]);
        }
    }
}

// The lanes named by the low four bits, as a mask of doubles.
__attribute__((target("avx2"), always_inline)) inline __m256i laneMask(int bits) {
    const __m256i picked = _mm256_and_si256(_mm256_set1_epi64x(bits), _mm256_set_epi64x(8, 4, 2, 1));
    return _mm256_cmpgt_epi64(picked, _mm256_setzero_si256());
}

// Both interpolation points of every shape for each lane's position in its record, interpolated as
// BandVoice::sampleCycle does, one double per lane and shape.
struct ShapeLanes {
    __m256d shape[BandVoice::kShapeCount];
};

template <int Shapes>
__attribute__((target("avx2"), always_inline)) inline ShapeLanes
sampleLanes(const float* table, __m128i base, __m256d size, __m256d cyclePhase) {
    const __m256d pos = _mm256_mul_pd(cyclePhase, size);
    // pos >= 0, so truncation is floor; the index wraps to 0 when rounding lifts the position to the length.
    const __m256d whole = _mm256_round_pd(pos, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256d fraction = _mm256_sub_pd(pos, whole);
    const __m256d index = _mm256_and_pd(whole, _mm256_cmp_pd(whole, size, _CMP_LT_OQ));
    const __m128i at = _mm_add_epi32(base, _mm_slli_epi32(_mm256_cvttpd_epi32(index), 2));
    const __m256 r0 = _mm256_loadu_ps(table + _mm_cvtsi128_si32(at));
    const __m256 r1 = _mm256_loadu_ps(table + _mm_extract_epi32(at, 1));
    const __m256 r2 = _mm256_loadu_ps(table + _mm_extract_epi32(at, 2));
    const __m256 r3 = _mm256_loadu_ps(table + _mm_extract_epi32(at, 3));
    // Rows [saw, square, sine, 0 | the same one position on] become per shape [four lanes | four lanes].
    const __m256 t0 = _mm256_unpacklo_ps(r0, r1);
    const __m256 t1 = _mm256_unpackhi_ps(r0, r1);
    const __m256 t2 = _mm256_unpacklo_ps(r2, r3);
    const __m256 t3 = _mm256_unpackhi_ps(r2, r3);
    const __m256 byShape[BandVoice::kShapeCount] = {
        _mm256_shuffle_ps(t0, t2, 0x44), _mm256_shuffle_ps(t0, t2, 0xEE), _mm256_shuffle_ps(t1, t3, 0x44)};
    ShapeLanes out;
    for (int s = 0; s < BandVoice::kShapeCount; ++s) {
        if (Shapes & (1 << s)) {
            const __m256d a = _mm256_cvtps_pd(_mm256_castps256_ps128(byShape[s]));
            const __m256d b = _mm256_cvtps_pd(_mm256_extractf128_ps(byShape[s], 1));
            out.shape[s] = _mm256_add_pd(a, _mm256_mul_pd(_mm256_sub_pd(b, a), fraction));
        } else {
            out.shape[s] = _mm256_setzero_pd();
        }
    }
    return out;
}

// The lanes' state while they run, in registers.
struct Registers {
    __m256d phase, left, currentSize, nextSize;
    __m256i currentRecord, nextRecord;
    __m128i currentBase, nextBase;
    bool repeat; // every lane plays one record as current and next

    __attribute__((target("avx2"), always_inline)) inline void findRepeat() {
        repeat =
            _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(currentRecord, nextRecord))) == 0xF;
    }
    __attribute__((target("avx2"), always_inline)) inline void reload(const LaneState& st) {
        phase = _mm256_load_pd(st.phase);
        left = _mm256_load_pd(st.countdown);
        currentSize = _mm256_load_pd(st.currentSize);
        nextSize = _mm256_load_pd(st.nextSize);
        currentRecord = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.currentRecord));
        nextRecord = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.nextRecord));
        currentBase = _mm_load_si128(reinterpret_cast<const __m128i*>(st.currentBase));
        nextBase = _mm_load_si128(reinterpret_cast<const __m128i*>(st.nextBase));
        findRepeat();
    }
    __attribute__((target("avx2"), always_inline)) inline void spill(LaneState& st) const {
        _mm256_store_pd(st.phase, phase);
        _mm256_store_pd(st.countdown, left);
        _mm256_store_pd(st.currentSize, currentSize);
        _mm256_store_pd(st.nextSize, nextSize);
        _mm256_store_si256(reinterpret_cast<__m256i*>(st.currentRecord), currentRecord);
        _mm256_store_si256(reinterpret_cast<__m256i*>(st.nextRecord), nextRecord);
        _mm_store_si128(reinterpret_cast<__m128i*>(st.currentBase), currentBase);
        _mm_store_si128(reinterpret_cast<__m128i*>(st.nextBase), nextBase);
    }
};
} // namespace

// Each lane performs the scalar code's operations for its voice in the same order and precision (nothing
// fused); voices that need a record re-choice at a cycle end are handed to the scalar code for it.
template <int Shapes>
__attribute__((target("avx2"))) void
VoiceLanes::render(const BandVoice::Tables& tables, const BandVoice::TableViews& views,
                   const BandVoice::SharedTable& shared, const float (*weights)[3], const Band* bands,
                   int count, uint32_t n) {
    static_assert(Shapes > 0 && Shapes < (1 << BandVoice::kShapeCount));
    count = std::min(count, kLanes);
    LaneState st;
    // Idle lanes read the first record and are never stepped.
    for (int lane = 0; lane < kLanes; ++lane) {
        if (lane < count) {
            loadLane(st, lane, *bands[lane].voice, Shapes, views, shared);
        } else {
            st.phase[lane] = 0.0;
            st.countdown[lane] = 1.0;
            setRecords(st, lane, 0, 0, views, shared);
        }
    }

    // The levels and phase increments frame by frame, lanes side by side.
    alignas(32) double increments[BandVoice::kMaxRun][kLanes];
    alignas(16) float levels[BandVoice::kMaxRun][kLanes];
    {
        alignas(16) float frequencies[BandVoice::kMaxRun][kLanes];
        for (int lane = 0; lane < kLanes; ++lane) {
            for (uint32_t j = 0; j < n; ++j) {
                levels[j][lane] = lane < count ? bands[lane].levels[j] : -1.0f;
                frequencies[j][lane] = lane < count ? bands[lane].frequencies[j] : 1.0f;
            }
        }
        alignas(32) double rates[kLanes];
        for (int lane = 0; lane < kLanes; ++lane) {
            rates[lane] = lane < count ? std::max(bands[lane].voice->sampleRate, 1.0) : 1.0;
        }
        const __m256d rate = _mm256_load_pd(rates);
        const __m256d lowest = _mm256_set1_pd(0.000001);
        for (uint32_t j = 0; j < n; ++j) {
            const __m256d f = _mm256_cvtps_pd(_mm_load_ps(frequencies[j]));
            const __m256d clamped = _mm256_blendv_pd(lowest, f, _mm256_cmp_pd(f, lowest, _CMP_GT_OQ));
            _mm256_store_pd(increments[j], _mm256_div_pd(clamped, rate));
        }
    }

    const float* table = shared.samples.data();
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d two = _mm256_set1_pd(2.0);
    const __m256d three = _mm256_set1_pd(3.0);
    const __m256d zero = _mm256_setzero_pd();
    const __m128 zeroFloats = _mm_setzero_ps();

    Registers r;
    r.reload(st);

    alignas(16) float out[BandVoice::kMaxRun][kLanes];
    for (uint32_t j = 0; j < n; ++j) {
        const __m128 level = _mm_load_ps(levels[j]);
        const __m128 activeFloats = _mm_cmp_ps(level, zeroFloats, _CMP_NLT_UQ);
        const int active = _mm_movemask_ps(activeFloats);
        if (active == 0) {
            _mm_store_ps(out[j], zeroFloats);
            continue;
        }
        const __m256d activeLanes =
            _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_castps_si128(activeFloats)));

        // The phase stays in [0, 1) between cycle ends, so it is both the crossfade position and the cycle
        // phase.
        const ShapeLanes a = sampleLanes<Shapes>(table, r.currentBase, r.currentSize, r.phase);
        const ShapeLanes b = r.repeat ? a : sampleLanes<Shapes>(table, r.nextBase, r.nextSize, r.phase);
        const __m256d fade =
            _mm256_mul_pd(_mm256_mul_pd(r.phase, r.phase), _mm256_sub_pd(three, _mm256_mul_pd(two, r.phase)));
        const __m256d keep = _mm256_sub_pd(one, fade);
        __m128 voiceOut = zeroFloats;
        for (int s = 0; s < BandVoice::kShapeCount; ++s) {
            if (Shapes & (1 << s)) {
                const __m256d mixed =
                    _mm256_add_pd(_mm256_mul_pd(a.shape[s], keep), _mm256_mul_pd(fade, b.shape[s]));
                voiceOut =
                    _mm_add_ps(voiceOut, _mm_mul_ps(_mm_set1_ps(weights[j][s]), _mm256_cvtpd_ps(mixed)));
            }
        }
        _mm_store_ps(out[j], _mm_and_ps(_mm_mul_ps(voiceOut, level), activeFloats));

        r.phase =
            _mm256_blendv_pd(r.phase, _mm256_add_pd(r.phase, _mm256_load_pd(increments[j])), activeLanes);
        r.left = _mm256_blendv_pd(r.left, _mm256_sub_pd(r.left, one), activeLanes);
        const int wrapped = _mm256_movemask_pd(_mm256_cmp_pd(r.phase, one, _CMP_GE_OQ)) & active;
        if (wrapped == 0) [[likely]] {
            continue;
        }
        // A cycle end: the phase drops by its whole part and the next record becomes the current one, or,
        // once the countdown has run out, the scalar code also chooses a new next record.
        const int chosen = wrapped & _mm256_movemask_pd(_mm256_cmp_pd(r.left, zero, _CMP_LE_OQ));
        const int plain = wrapped & ~chosen;
        if (plain != 0) {
            const __m256i mask = laneMask(plain);
            const __m256d maskDoubles = _mm256_castsi256_pd(mask);
            __m256d reduced = _mm256_sub_pd(r.phase, _mm256_floor_pd(r.phase));
            reduced = _mm256_and_pd(reduced, _mm256_and_pd(_mm256_cmp_pd(reduced, zero, _CMP_GE_OQ),
                                                           _mm256_cmp_pd(reduced, one, _CMP_LT_OQ)));
            r.phase = _mm256_blendv_pd(r.phase, reduced, maskDoubles);
            r.currentSize = _mm256_blendv_pd(r.currentSize, r.nextSize, maskDoubles);
            r.currentRecord = _mm256_castpd_si256(_mm256_blendv_pd(
                _mm256_castsi256_pd(r.currentRecord), _mm256_castsi256_pd(r.nextRecord), maskDoubles));
            // The 64-bit lane masks narrowed to 32 bits: the even halves.
            const __m128i mask32 = _mm_castps_si128(_mm256_castps256_ps128(_mm256_permutevar8x32_ps(
                _mm256_castsi256_ps(mask), _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6))));
            r.currentBase = _mm_blendv_epi8(r.currentBase, r.nextBase, mask32);
            r.findRepeat();
        }
        if (chosen != 0) {
            r.spill(st);
            for (int lane = 0; lane < count; ++lane) {
                if ((chosen & (1 << lane)) == 0) {
                    continue;
                }
                BandVoice& voice = *bands[lane].voice;
                storeLane(st, lane, voice, Shapes);
                const double frequency = bands[lane].frequencies[j];
                voice.cycleEnd(tables, BandVoice::clampNote(bands[lane].notes[j]),
                               frequency > 0.000001 ? frequency : 0.000001);
                loadLane(st, lane, voice, Shapes, views, shared);
            }
            r.reload(st);
        }
    }
    r.spill(st);
    for (int lane = 0; lane < count; ++lane) {
        storeLane(st, lane, *bands[lane].voice, Shapes);
        float* contributions = bands[lane].contributions;
        for (uint32_t j = 0; j < n; ++j) {
            contributions[j] = out[j][lane];
        }
    }
}

#else

template <int Shapes>
void VoiceLanes::render(const BandVoice::Tables&, const BandVoice::TableViews&, const BandVoice::SharedTable&,
                        const float (*)[3], const Band*, int, uint32_t) {}

#endif

template void VoiceLanes::render<1>(const BandVoice::Tables&, const BandVoice::TableViews&,
                                    const BandVoice::SharedTable&, const float (*)[3], const Band*, int,
                                    uint32_t);
template void VoiceLanes::render<2>(const BandVoice::Tables&, const BandVoice::TableViews&,
                                    const BandVoice::SharedTable&, const float (*)[3], const Band*, int,
                                    uint32_t);
template void VoiceLanes::render<3>(const BandVoice::Tables&, const BandVoice::TableViews&,
                                    const BandVoice::SharedTable&, const float (*)[3], const Band*, int,
                                    uint32_t);
template void VoiceLanes::render<4>(const BandVoice::Tables&, const BandVoice::TableViews&,
                                    const BandVoice::SharedTable&, const float (*)[3], const Band*, int,
                                    uint32_t);
template void VoiceLanes::render<5>(const BandVoice::Tables&, const BandVoice::TableViews&,
                                    const BandVoice::SharedTable&, const float (*)[3], const Band*, int,
                                    uint32_t);
template void VoiceLanes::render<6>(const BandVoice::Tables&, const BandVoice::TableViews&,
                                    const BandVoice::SharedTable&, const float (*)[3], const Band*, int,
                                    uint32_t);
template void VoiceLanes::render<7>(const BandVoice::Tables&, const BandVoice::TableViews&,
                                    const BandVoice::SharedTable&, const float (*)[3], const Band*, int,
                                    uint32_t);
