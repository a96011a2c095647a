// What the vector voice kernels share: the lanes' state in memory and the hand-over to and from the voices.
#pragma once

#include "dsp/VoiceLanes.hpp"

#include <cstdint>

struct VoiceLaneKernels {
    static constexpr int kLanes = VoiceLanes::kMaxLanes;

    // One render call's arguments; a row of levels or frequencies starts at its frame times kLanes.
    struct Job {
        const BandVoice::Tables& tables;
        const BandVoice::TableViews& views;
        const BandVoice::SharedTable& shared;
        const float (*weights)[3];
        const float* levels;
        const float* frequencies;
        const VoiceLanes::Band* bands;
        uint32_t n;
    };
    using Kernel = void (*)(const Job&);

    // The lanes' voices in memory between register-resident stretches. Offsets count floats of the shared
    // table; the loader's file size limit keeps them far below 2^31.
    struct alignas(64) State {
        double phase[kLanes];
        double countdown[kLanes];
        double currentSize[kLanes];
        double nextSize[kLanes];
        int64_t currentRecord[kLanes];
        int64_t nextRecord[kLanes];
        int32_t currentBase[kLanes];
        int32_t nextBase[kLanes];
    };

    // The voice of a busy lane into its lane, the first record into an idle one (which is never stepped).
    static void load(State& st, int lane, const Job& job, int shapes);
    static void store(const State& st, int lane, const Job& job, int shapes);
    // The record re-choice at a cycle end in frame j, in the scalar code, for the lane's voice.
    static void chooseRecords(State& st, int lane, const Job& job, int shapes, uint32_t j);

    // Each lane's sample rate (1 for idle lanes).
    static void rates(const Job& job, int width, double* rates);

    // The kernels for played shapes 1 to 7 (index 0 unused), per path.
    static const Kernel kAvx2[8];
    static const Kernel kAvx512[8];
};
