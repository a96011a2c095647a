// Band voices rendered side by side, one voice per vector lane, giving BandVoice::renderRun's results bit for
// bit.
#pragma once

#include "dsp/BandVoice.hpp"

#include <cstdint>

class VoiceLanes {
public:
    // The most voices one call renders.
    static constexpr int kLanes = 4;

    // Whether the processor runs the lanes (AVX2); decided once at load time.
    static bool available();

    // One voice's inputs for a run of frames. A frame with a negative level is skipped: the voice stands
    // still and its contribution is 0.
    struct Band {
        BandVoice* voice = nullptr;
        const float* levels = nullptr;
        const float* notes = nullptr;
        const float* frequencies = nullptr;
        float* contributions = nullptr; // per frame: the voice's output times its level, 0 in skipped frames
    };

    // The frequency of a band note, min(440 * 2^((midi - 69) / 12), cap) in single precision with the C
    // library's exp2f, for frames 0..n-1; eight notes at a time where the processor allows, to the same bits.
    static void frequencies(const float* midis, uint32_t n, float cap, float* out);
    static float frequency(float midi, float cap);
    // Whether frequencies() computes in vector lanes: the processor has AVX2 and FMA and a check at load time
    // found the lanes to agree with the C library.
    static bool vectorFrequencies();

    // Whether a voice may take a lane for the next run: after BandVoice::beginShapes, all played shapes play
    // one record pair (so the shared table serves them) and the phase lies in [0, 1).
    static bool fits(const BandVoice& voice, int shapes);

    // Renders frames 0..n-1 (n at most BandVoice::kMaxRun) of up to kLanes voices that fit, with the played
    // shapes given by the template argument (1 to 7), as BandVoice::renderRunShared would for each in turn.
    // Needs available() and a usable shared table.
    template <int Shapes>
    static void render(const BandVoice::Tables& tables, const BandVoice::TableViews& views,
                       const BandVoice::SharedTable& shared, const float (*weights)[3], const Band* bands,
                       int count, uint32_t n);
};
