#pragma once

#include "dsp/BandVoice.hpp"
#include "dsp/FeedbackLimiter.hpp"
#include "dsp/OnePoleSmoother.hpp"
#include "dsp/RealFFT.hpp"
#include "dsp/VoiceLanes.hpp"
#include "dsp/Wavetable.hpp"
#include "dsp/WavetableSet.hpp"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The engine's own copy of every parameter, in engine units. Written by DSPKernel::setParameter, possibly
// from another thread while rendering, so shared fields are accessed with loadRelaxed/storeRelaxed.
struct EngineParams {
    int32_t bands = 16;
    float lowFrequency = 125.0f;
    float highFrequency = 8000.0f;
    float sliceMs = 50.0f;
    float blur = 20.0f;
    float feedback = 0.0f;
    float inputGainDb = 0.0f;
    float outputGainDb = 0.0f;
    float mix = 50.0f;
    float morphX = 0.5f;
    float morphY = 0.5f;
    float octave = 0.0f;
    float noteCents = 0.0f;
    float age = 0.0f;
    float gateThresholdDb = -80.0f;
    float gateReductionDb = -80.0f;
    float gateAttackMs = 1.0f;
    float gateReleaseMs = 100.0f;
    float gateThreshold = 0.0001f;
    float gateReduction = 0.0001f;
    float gateAttackCoefficient = 0.1f;
    float gateReleaseCoefficient = 0.01f;
    float envelopeReleaseCoefficient = 0.001f;
    double sampleRate = 44100.0;
    bool bypass = false;
    bool ready = true;
    uint32_t maximumFrames = 1024;
};

class DSPEngine {
public:
    static constexpr int kChannels = 2;
    static constexpr int kBands = 64;
    static constexpr int kRingSize = 4096;
    static constexpr int kFFTSize = 4096;
    static constexpr int kBins = kFFTSize / 2;
    static constexpr int kSlots = 3;

    struct ChannelState {
        std::vector<float> ring;
        int32_t writeIndex = 0;
        std::array<BandVoice, kBands> voices{};
        std::array<OnePoleSmoother, kBands> noteSmoothers{};
        std::array<OnePoleSmoother, kBands> levelSmoothers{};
        std::array<bool, kBands> bandActive{};
        float envelope = 0.0f;
        float gateGain = 1.0f;
        std::vector<float> feedbackBuffer;
        FeedbackLimiter limiter{};
    };

    struct ParameterSmoothers {
        OnePoleSmoother inputGain, outputGain, mix, feedback, pitch, age, morphX, morphY;
    };

    struct AnalyserValues {
        int32_t bandCount = 0;
        float rangeLo = 0.0f;
        float rangeHi = 0.0f;
        std::array<float, kBands> levels{};
    };

    std::array<ChannelState, kChannels> channels{};
    RealFFT fft;
    std::vector<float> window, frame, realPart, imagPart, magnitudes;
    uint32_t sliceCounter = 0;
    // The tables played, shared with every engine of the process that loaded the same content; replaced
    // (never changed) by loadWavetable.
    std::shared_ptr<const WavetableSet> tableSet = WavetableSet::empty();
    std::array<float, kBands> detune{};
    ParameterSmoothers smoothers{};
    float lastMix = -1.0f;
    float dryGain = 1.0f;
    float wetGain = 0.0f;
    AnalyserValues analyser{};
    EngineParams params{};
    // Renders with the scalar reference code only, whatever the processor offers (the vector paths give the
    // same bits; tests and benchmarks compare the two). Set while not rendering.
    bool referencePaths = false;
    // The vector path of the band voices when not rendering with the reference: the widest the processor
    // has unless set otherwise (while not rendering) to compare paths.
    VoiceLanes::Path lanePath = VoiceLanes::best();

    void prepare(double sampleRate);
    void reset();
    void setMaximumFrames(int32_t frames);
    // Empties both rings, both feedback buffers and the analysis arrays (capacity kept) until the next
    // prepare; processing passes audio through meanwhile.
    void deallocate();
    bool loadWavetable(uint32_t slot, const char* path);
    const BandVoice::Tables& wavetables() const { return tableSet->tables; } // sawtooth, square, sine
    // The three side by side, when they share one layout.
    const BandVoice::SharedTable& sharedTable() const { return tableSet->shared; }
    void process(const float* const* inputs, uint32_t inputCount, float* const* outputs, uint32_t outputCount,
                 uint32_t frameCount);
    void analyseSlice(int channel, bool first);
    float interpolatedMagnitude(double frequency, double binWidth) const;

    uint32_t maximumFrames() const { return loadRelaxed(params.maximumFrames); }
    bool bypass() const { return loadRelaxed(params.bypass); }
    void setBypass(bool on) { storeRelaxed(params.bypass, on); }
    double sampleRate() const { return params.sampleRate; }

    // Glide time of the band notes for a blur percentage: 5 ms at 0 %, 2000 ms at 100 %.
    static float glideTimeMs(float blurPercent) {
        const float b = blurPercent * 0.01f;
        return 5.0f + 1995.0f * (b * b);
    }
    static float gateCoefficient(float ms, float sampleRate);
    static float dbToGain(float db);
    void setNoteGlide(float blurPercent);

private:
    static constexpr uint32_t kChunk = 128;
    static_assert(kChunk <= BandVoice::kMaxRun);

    // Per-frame values shared by all bands of a chunk of frames.
    struct FrameValues {
        float inputGain[kChunk], outputGain[kChunk], mix[kChunk], feedback[kChunk], pitch[kChunk],
            age[kChunk];
        float mono[kChunk];
        float weights[kChunk][3];
    };

    // Which shapes every frame of the chunk plays (bit mask), or BandVoice::kAnyShapes when that varies.
    int playedShapes(const FrameValues& values, uint32_t frames) const;
    // The bands' smoothers are stepped kBandGroup bands at a time: their chains are independent, so
    // interleaving them keeps the arithmetic units busy (and lets the processor run them side by side).
    static constexpr int kBandGroup = 8;
    static_assert(kBands % kBandGroup == 0);
    struct BandGroupValues {
        float levels[kBandGroup][kChunk]; // -1 marks a frame in which the band is skipped
        float midis[kBandGroup][kChunk];
        // The same frame by frame, bands side by side, when the vector smoothers made them (frameMajor).
        alignas(32) float frameLevels[kChunk][kBandGroup];
        alignas(32) float frameMidis[kChunk][kBandGroup];
        bool frameMajor = false;
    };
    // True when every band of the group is at level 0 with a target of 0: such bands are skipped in every
    // frame and their smoothers stay put, so the whole group can be passed over.
    static bool groupSilent(const ChannelState& channel, int firstBand);
    // Steps the smoothers of one or two groups (given by their first bands) for the chunk.
    void stepBandGroups(ChannelState& channel, const int* firstBands, int count, uint32_t frames,
                        const FrameValues& values, BandGroupValues* out) const;
    void renderBand(ChannelState& channel, int band, uint32_t frames, const FrameValues& values,
                    int shapesPlayed, float frequencyCap, const float* levels, const float* midis,
                    float* sum);
    // Whether this chunk's bands run in vector lanes (renderGroupLanes) rather than one by one (renderBand).
    bool laneBands(int shapesPlayed) const;
    // The bands of a group with their voices side by side in vector lanes where they fit (one by one where
    // not), each band's contributions kept apart and then added to the sums in band order: the same bits as
    // renderBand for each band in turn.
    void renderGroupLanes(ChannelState& channel, int firstBand, uint32_t frames, const FrameValues& values,
                          int shapesPlayed, float frequencyCap, const BandGroupValues& group, float* sum);
    // A band's frequency in each of frames first..n-1 in which it is rendered, from its note.
    static void bandFrequencies(const float* levels, const float* midis, uint32_t first, uint32_t n,
                                float frequencyCap, float* frequencies);
    template <int Shapes>
    [[gnu::always_inline]] inline void renderFrames(BandVoice& voice, const BandVoice::TableViews& views,
                                                    const FrameValues& values, const float* levels,
                                                    const float* midis, const float* frequencies,
                                                    uint32_t first, uint32_t frames, float* sum);
    bool buffersReady() const;
    // Clears a channel whose state went non-finite: voices, envelope, gate, limiter, ring and feedback.
    void recoverChannel(ChannelState& channel);
    void resetChannelRunningState(ChannelState& channel);
    void syncSmoothersToParams();
};
