// Band voices rendered side by side, one voice per vector lane, giving BandVoice::renderRun's results bit for
// bit.
#pragma once

#include "dsp/BandVoice.hpp"

#include <cstdint>

class VoiceLanes {
public:
    // The vector paths, each the scalar voice to the bit: four voices in AVX2 registers or eight in AVX-512
    // ones.
    enum class Path { Avx2, Avx512 };
    static constexpr int kMaxLanes = 8;
    static constexpr int lanes(Path path) { return path == Path::Avx512 ? 8 : 4; }
    // Whether the processor has a path; decided once at load time.
    static bool has(Path path);
    // Whether it has any, and the widest.
    static bool available() { return has(Path::Avx2); }
    static Path best() { return has(Path::Avx512) ? Path::Avx512 : Path::Avx2; }

    // The frequency of a band note, min(440 * 2^((midi - 69) / 12), cap) in single precision with the C
    // library's exp2f, for notes 0..n-1: eight at a time in the widest path that has vector frequencies, to
    // the same bits, or on a given path (one by one where it has none).
    static void frequencies(const float* midis, uint32_t n, float cap, float* out);
    static void frequencies(Path path, const float* midis, uint32_t n, float cap, float* out);
    static float frequency(float midi, float cap);
    // Whether a path computes frequencies in vector lanes: the processor has it and FMA, and a check at load
    // time found the lanes to agree with the C library.
    static bool vectorFrequencies(Path path);

    // Whether a voice may take a lane for the next run: after BandVoice::beginShapes, all played shapes play
    // one record pair (so the shared table serves them) and the phase lies in [0, 1).
    static bool fits(const BandVoice& voice, int shapes);

    // A lane's voice for a run of frames (none: an idle lane), its notes frame by frame and where its
    // contributions go: per frame the voice's output times its level, 0 in skipped frames.
    struct Band {
        BandVoice* voice = nullptr;
        const float* notes = nullptr;
        float* contributions = nullptr;
    };
    // The per-frame inputs of all lanes, frame by frame with kMaxLanes values a row: each lane's level (a
    // negative level skips the frame: the voice stands still; idle lanes must be skipped throughout) and
    // frequency, and the shape weights.
    struct Frames {
        const float (*levels)[kMaxLanes] = nullptr;
        const float (*frequencies)[kMaxLanes] = nullptr;
        const float (*weights)[3] = nullptr;
    };

    // Renders frames 0..n-1 (n at most BandVoice::kMaxRun) of the lanes(path) voices that fit given in
    // bands, lane l in the rows' column firstColumn + l, with the played shapes given (1 to 7), as
    // BandVoice::renderRunShared would for each in turn. Needs has(path) and a usable shared table.
    static void render(Path path, int shapes, const BandVoice::Tables& tables,
                       const BandVoice::TableViews& views, const BandVoice::SharedTable& shared,
                       const Frames& frames, int firstColumn, const Band* bands, uint32_t n);
};
