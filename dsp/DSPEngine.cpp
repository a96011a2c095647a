#include "dsp/DSPEngine.hpp"

#include "dsp/DenormalGuard.hpp"
#include "dsp/FmaClones.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Hosts do send NaN and infinities (a broken instrument upstream): the engine reads them as silence.
inline float finiteOrZero(float x) {
    return std::isfinite(x) ? x : 0.0f;
}
constexpr float kHalfPi = 1.5707964f;
constexpr float kRestNote = 69.0f; // A4
constexpr float kLevelTimeMs = 60.0f;
constexpr float kParameterTimeMs = 30.0f;
constexpr float kEnvelopeReleaseMs = 50.0f;
constexpr float kBandThreshold = 0.0001f;
constexpr float kMagnitudeScale = 1.0f / 1024.0f; // full-scale sine through the Hann window -> 1
} // namespace

float DSPEngine::gateCoefficient(float ms, float sampleRate) {
    return 1.0f - std::exp(-1000.0f / (std::max(ms, 0.01f) * sampleRate));
}

float DSPEngine::dbToGain(float db) {
    return std::pow(10.0f, db / 20.0f);
}

void DSPEngine::setNoteGlide(float blurPercent) {
    const float glide = glideTimeMs(blurPercent);
    for (ChannelState& channel : channels) {
        for (OnePoleSmoother& smoother : channel.noteSmoothers) {
            smoother.setTime(glide);
        }
    }
}

void DSPEngine::prepare(double sampleRate) {
    params.sampleRate = sampleRate;
    const float sr = static_cast<float>(sampleRate);
    fft.init(kFFTSize);
    window.resize(kFFTSize);
    for (int n = 0; n < kFFTSize; ++n) {
        window[n] = 0.5f - 0.5f * std::cos(static_cast<float>(n) * 6.28318530717958647692f / 4096.0f);
    }
    sliceCounter = 0;
    frame.resize(kFFTSize);
    realPart.resize(kBins);
    imagPart.resize(kBins);
    magnitudes.resize(kBins);

    const float levelCoefficient = OnePoleSmoother::coefficientFor(kLevelTimeMs, sampleRate);
    for (ChannelState& channel : channels) {
        channel.ring.assign(kRingSize, 0.0f);
        resetChannelRunningState(channel);
        for (int b = 0; b < kBands; ++b) {
            channel.voices[b].sampleRate = std::max(sampleRate, 1.0);
            channel.noteSmoothers[b].sampleRate = sampleRate;
            OnePoleSmoother& level = channel.levelSmoothers[b];
            level.timeMs = kLevelTimeMs;
            level.sampleRate = sampleRate;
            level.coefficient = levelCoefficient;
        }
    }
    setNoteGlide(loadRelaxed(params.blur));
    const uint32_t maxFrames = loadRelaxed(params.maximumFrames);
    for (ChannelState& channel : channels) {
        channel.feedbackBuffer.assign(maxFrames, 0.0f);
    }

    uint32_t x = 0x9E3779B9u;
    for (int b = 0; b < kBands; ++b) {
        x = x * 1664525u + 1013904223u;
        detune[b] = (static_cast<float>(x >> 8) / 16777215.0f * 2.0f - 1.0f) * 0.5f;
    }

    const float parameterCoefficient = OnePoleSmoother::coefficientFor(kParameterTimeMs, sampleRate);
    for (OnePoleSmoother* s :
         {&smoothers.inputGain, &smoothers.outputGain, &smoothers.mix, &smoothers.feedback, &smoothers.pitch,
          &smoothers.age, &smoothers.morphX, &smoothers.morphY}) {
        s->timeMs = kParameterTimeMs;
        s->coefficient = parameterCoefficient;
        s->sampleRate = sampleRate;
    }
    syncSmoothersToParams();

    storeRelaxed(params.gateThreshold, dbToGain(loadRelaxed(params.gateThresholdDb)));
    storeRelaxed(params.gateReduction, dbToGain(loadRelaxed(params.gateReductionDb)));
    storeRelaxed(params.gateAttackCoefficient, gateCoefficient(loadRelaxed(params.gateAttackMs), sr));
    storeRelaxed(params.gateReleaseCoefficient, gateCoefficient(loadRelaxed(params.gateReleaseMs), sr));
    params.envelopeReleaseCoefficient = OnePoleSmoother::coefficientFor(kEnvelopeReleaseMs, sampleRate);
}

void DSPEngine::resetChannelRunningState(ChannelState& channel) {
    channel.writeIndex = 0;
    channel.envelope = 0.0f;
    channel.gateGain = 1.0f;
    channel.limiter = FeedbackLimiter{};
    for (int b = 0; b < kBands; ++b) {
        BandVoice& voice = channel.voices[b];
        voice.randomState = BandVoice::seedForBand(static_cast<uint32_t>(b));
        voice.clearShapes();
        voice.phase = 0.0;
        channel.noteSmoothers[b].jumpTo(kRestNote);
        channel.levelSmoothers[b].jumpTo(0.0f);
        channel.bandActive[b] = false;
    }
}

void DSPEngine::recoverChannel(ChannelState& channel) {
    const int32_t writeIndex = channel.writeIndex;
    resetChannelRunningState(channel);
    channel.writeIndex = writeIndex;
    std::fill(channel.ring.begin(), channel.ring.end(), 0.0f);
    std::fill(channel.feedbackBuffer.begin(), channel.feedbackBuffer.end(), 0.0f);
}

void DSPEngine::syncSmoothersToParams() {
    smoothers.inputGain.jumpTo(dbToGain(loadRelaxed(params.inputGainDb)));
    smoothers.outputGain.jumpTo(dbToGain(loadRelaxed(params.outputGainDb)));
    smoothers.mix.jumpTo(loadRelaxed(params.mix) * 0.01f);
    smoothers.feedback.jumpTo(loadRelaxed(params.feedback) * 0.01f);
    smoothers.pitch.jumpTo(loadRelaxed(params.octave) * 12.0f + loadRelaxed(params.noteCents) / 100.0f);
    smoothers.age.jumpTo(loadRelaxed(params.age) * 0.01f);
    smoothers.morphX.jumpTo(loadRelaxed(params.morphX));
    smoothers.morphY.jumpTo(loadRelaxed(params.morphY));
}

void DSPEngine::reset() {
    sliceCounter = 0;
    for (ChannelState& channel : channels) {
        std::fill(channel.ring.begin(), channel.ring.end(), 0.0f);
        resetChannelRunningState(channel);
    }
    syncSmoothersToParams();
}

void DSPEngine::setMaximumFrames(int32_t frames) {
    // A negative count would read back as a huge maximum and let oversized blocks through; treat it as 0.
    const uint32_t n = static_cast<uint32_t>(std::max(frames, 0));
    storeRelaxed(params.maximumFrames, n);
    for (ChannelState& channel : channels) {
        channel.feedbackBuffer.assign(n, 0.0f);
    }
}

void DSPEngine::deallocate() {
    for (ChannelState& channel : channels) {
        channel.ring.clear();
        channel.feedbackBuffer.clear();
    }
    window.clear();
    frame.clear();
    realPart.clear();
    imagPart.clear();
    magnitudes.clear();
}

bool DSPEngine::loadWavetable(uint32_t slot, const char* path) {
    if (slot >= kSlots) {
        return false;
    }
    WavetableSlot table;
    const bool loaded = table.parse(path);
    tableSet = WavetableSet::with(*tableSet, slot, std::move(table));
    // Record indices of any slot may now point elsewhere: every voice picks its records afresh.
    for (ChannelState& channel : channels) {
        for (BandVoice& voice : channel.voices) {
            voice.clearShapes();
        }
    }
    return loaded;
}

bool DSPEngine::buffersReady() const {
    for (const ChannelState& channel : channels) {
        if (channel.ring.size() != static_cast<size_t>(kRingSize)) {
            return false;
        }
    }
    return window.size() == static_cast<size_t>(kFFTSize) && frame.size() == static_cast<size_t>(kFFTSize) &&
           magnitudes.size() == static_cast<size_t>(kBins);
}

void DSPEngine::process(const float* const* inputs, uint32_t inputCount, float* const* outputs,
                        uint32_t outputCount, uint32_t frameCount) {
    DenormalGuard denormals;
    const uint32_t common = std::min(inputCount, outputCount);

    // Without prepared buffers (before the first prepare or after deallocate) the engine passes audio through
    // rather than touching storage that is not there.
    if (loadRelaxed(params.bypass) || !params.ready || inputCount == 0 || !buffersReady()) {
        for (uint32_t c = 0; c < common; ++c) {
            if (outputs[c] != inputs[c] && frameCount > 0) {
                std::memmove(outputs[c], inputs[c], sizeof(float) * frameCount);
            }
        }
        return;
    }

    const bool stereo = common >= 2;
    const int processed = stereo ? 2 : 1;
    const double sr = params.sampleRate;
    const float srf = static_cast<float>(sr);

    const double period =
        std::max(std::trunc(sr * static_cast<double>(loadRelaxed(params.sliceMs)) * 0.001), 64.0);
    if (static_cast<double>(sliceCounter) >= period) {
        sliceCounter = 0;
        analyseSlice(0, true);
        if (processed == 2) {
            analyseSlice(1, false);
        }
    }
    sliceCounter += frameCount;

    const uint32_t feedbackCapacity = static_cast<uint32_t>(channels[0].feedbackBuffer.size());
    const bool limited = frameCount <= feedbackCapacity;
    int32_t startIndex[kChannels] = {channels[0].writeIndex, channels[1].writeIndex};

    // Gate settings are read once per block; a change made meanwhile takes effect with the next block.
    const float gateThreshold = loadRelaxed(params.gateThreshold);
    const float gateReduction = loadRelaxed(params.gateReduction);
    const float attack = loadRelaxed(params.gateAttackCoefficient);
    const float release = loadRelaxed(params.gateReleaseCoefficient);
    const float envelopeRelease = params.envelopeReleaseCoefficient;
    const float frequencyCap = srf * 0.47f;
    const float inverseInputs = 1.0f / static_cast<float>(inputCount);

    // The block runs in chunks, and within a chunk band by band: every state variable still sees exactly the
    // per-frame sequence of operations (the band sums of a frame are accumulated in band order), but a
    // voice's state stays in registers over many frames instead of being reloaded for each one.
    FrameValues values;
    BandGroupValues groups[2];
    float poison[kChannels] = {0.0f, 0.0f};
    float sum[kChunk];
    float wet[kChannels][kChunk];
    for (uint32_t chunkStart = 0; chunkStart < frameCount; chunkStart += kChunk) {
        const uint32_t n = std::min<uint32_t>(kChunk, frameCount - chunkStart);
        for (uint32_t j = 0; j < n; ++j) {
            const uint32_t i = chunkStart + j;
            values.inputGain[j] = smoothers.inputGain.step();
            values.outputGain[j] = smoothers.outputGain.step();
            values.mix[j] = smoothers.mix.step();
            values.feedback[j] = smoothers.feedback.step();
            values.pitch[j] = smoothers.pitch.step();
            values.age[j] = smoothers.age.step();
            const float morphX = smoothers.morphX.step();
            const float morphY = smoothers.morphY.step();
            BandVoice::shapeWeights(morphX, morphY, values.weights[j]);
            float inputSum = 0.0f;
            for (uint32_t c = 0; c < inputCount; ++c) {
                inputSum += finiteOrZero(inputs[c][i]);
            }
            values.mono[j] = inputSum * inverseInputs;
        }

        const int shapesPlayed = playedShapes(values, n);
        const bool lanes = laneBands(shapesPlayed);
        for (int c = 0; c < processed; ++c) {
            ChannelState& ch = channels[c];
            std::fill(sum, sum + n, 0.0f);
            // The groups that are not silent (stepping would leave a silent one as it is, and none of its
            // bands would be rendered), stepped two at a time and rendered in band order.
            int sounding[kBands / kBandGroup];
            int soundingCount = 0;
            for (int g = 0; g < kBands; g += kBandGroup) {
                if (!groupSilent(ch, g)) {
                    sounding[soundingCount++] = g;
                }
            }
            for (int i = 0; i < soundingCount; i += 2) {
                const int count = std::min(soundingCount - i, 2);
                stepBandGroups(ch, sounding + i, count, n, values, groups);
                for (int p = 0; p < count; ++p) {
                    const int g = sounding[i + p];
                    if (lanes) {
                        renderGroupLanes(ch, g, n, values, shapesPlayed, frequencyCap, groups[p], sum);
                        continue;
                    }
                    for (int k = 0; k < kBandGroup; ++k) {
                        renderBand(ch, g + k, n, values, shapesPlayed, frequencyCap, groups[p].levels[k],
                                   groups[p].midis[k], sum);
                    }
                }
            }
            for (uint32_t j = 0; j < n; ++j) {
                const uint32_t i = chunkStart + j;
                const float x = stereo ? finiteOrZero(inputs[c][i]) : values.mono[j];
                const float xin = values.inputGain[j] * x;
                const float magnitude = std::fabs(xin);
                if (magnitude > ch.envelope) {
                    ch.envelope = magnitude;
                } else {
                    ch.envelope = ch.envelope + envelopeRelease * (magnitude - ch.envelope);
                }
                const float gateTarget = ch.envelope >= gateThreshold ? 1.0f : gateReduction;
                const float w = sum[j] * 2.5f;
                const float k = gateTarget > ch.gateGain ? attack : release;
                ch.gateGain = ch.gateGain + k * (gateTarget - ch.gateGain);
                const float fb = values.feedback[j] * w;
                if (limited) {
                    ch.ring[ch.writeIndex] = xin * ch.gateGain;
                    ch.feedbackBuffer[i] = fb;
                } else {
                    ch.ring[ch.writeIndex] = xin * ch.gateGain + fb;
                }
                ch.writeIndex = (ch.writeIndex + 1) % kRingSize;
                wet[c][j] = w;
                poison[c] += w * 0.0f; // stays 0 while every wet sample is finite
            }
        }

        for (uint32_t j = 0; j < n; ++j) {
            const uint32_t i = chunkStart + j;
            const float mix = values.mix[j];
            if (mix != lastMix) {
                lastMix = mix;
                dryGain = std::cos(mix * kHalfPi);
                wetGain = std::sin(mix * kHalfPi);
            }
            for (uint32_t o = 0; o < outputCount; ++o) {
                const float d = o < inputCount ? finiteOrZero(inputs[o][i]) : values.mono[j];
                const int source = std::min(static_cast<int>(o), processed - 1);
                outputs[o][i] = finiteOrZero(d * dryGain + values.outputGain[j] * wet[source][j] * wetGain);
            }
        }
    }

    // Input near the top of the float range can still overflow inside the channel (the envelope, the
    // voices): a channel whose state went non-finite starts afresh, so the next slice is clean again.
    for (int c = 0; c < processed; ++c) {
        ChannelState& ch = channels[c];
        if (!std::isfinite(poison[c]) || !std::isfinite(ch.envelope) || !std::isfinite(ch.gateGain)) {
            recoverChannel(ch);
        }
    }

    if (limited) {
        float peak = 0.0f;
        for (int c = 0; c < processed; ++c) {
            const float* buffer = channels[c].feedbackBuffer.data();
            for (uint32_t i = 0; i < frameCount; ++i) {
                peak = std::max(peak, std::fabs(buffer[i]));
            }
        }
        const float newGain = FeedbackLimiter::gainForPeak(peak);
        for (int c = 0; c < processed; ++c) {
            ChannelState& ch = channels[c];
            ch.limiter.apply(ch.feedbackBuffer.data(), frameCount, newGain);
            for (uint32_t i = 0; i < frameCount; ++i) {
                ch.ring[(startIndex[c] + i) % kRingSize] += ch.feedbackBuffer[i];
            }
        }
    }
}

int DSPEngine::playedShapes(const FrameValues& values, uint32_t n) const {
    int played = 0;
    for (int s = 0; s < kSlots; ++s) {
        int framesPlayed = 0;
        if (wavetables()[s].usable()) {
            for (uint32_t j = 0; j < n; ++j) {
                framesPlayed += values.weights[j][s] < 0.0001f ? 0 : 1;
            }
        }
        if (framesPlayed == static_cast<int>(n)) {
            played |= 1 << s;
        } else if (framesPlayed != 0) {
            return BandVoice::kAnyShapes; // a shape fades in or out within the chunk
        }
    }
    return played;
}

TESSARAY_FMA_CLONES
void DSPEngine::renderBand(ChannelState& ch, int b, uint32_t n, const FrameValues& values, int shapesPlayed,
                           float frequencyCap, const float* levels, const float* midis, float* sum) {
    uint32_t first = 0;
    while (first < n && levels[first] < 0.0f) {
        ++first;
    }
    if (first == n) {
        return; // a voice that is not rendered keeps its shape slots as they are
    }
    BandVoice& voice = ch.voices[b];
    const BandVoice::TableViews views = BandVoice::viewsOf(wavetables());
    float frequencies[kChunk];
    bandFrequencies(levels, midis, first, n, frequencyCap, frequencies);

    switch (shapesPlayed) {
    case 0:
        renderFrames<0>(voice, views, values, levels, midis, frequencies, first, n, sum);
        break;
    case 1:
        renderFrames<1>(voice, views, values, levels, midis, frequencies, first, n, sum);
        break;
    case 2:
        renderFrames<2>(voice, views, values, levels, midis, frequencies, first, n, sum);
        break;
    case 3:
        renderFrames<3>(voice, views, values, levels, midis, frequencies, first, n, sum);
        break;
    case 4:
        renderFrames<4>(voice, views, values, levels, midis, frequencies, first, n, sum);
        break;
    case 5:
        renderFrames<5>(voice, views, values, levels, midis, frequencies, first, n, sum);
        break;
    case 6:
        renderFrames<6>(voice, views, values, levels, midis, frequencies, first, n, sum);
        break;
    case 7:
        renderFrames<7>(voice, views, values, levels, midis, frequencies, first, n, sum);
        break;
    default:
        renderFrames<BandVoice::kAnyShapes>(voice, views, values, levels, midis, frequencies, first, n, sum);
        break;
    }
}

template <int Shapes>
void DSPEngine::renderFrames(BandVoice& voice, const BandVoice::TableViews& views, const FrameValues& values,
                             const float* levels, const float* midis, const float* frequencies,
                             uint32_t first, uint32_t n, float* sum) {
    if constexpr (Shapes != BandVoice::kAnyShapes) {
        voice.beginShapes(wavetables(), views, Shapes, midis[first]);
        if (sharedTable().usable() && BandVoice::hasAvx2() && !referencePaths) {
            voice.renderRunShared<Shapes>(wavetables(), views, sharedTable(), values.weights, levels, midis,
                                          frequencies, first, n, sum);
        } else {
            voice.renderRun<Shapes>(wavetables(), views, values.weights, levels, midis, frequencies, first, n,
                                    sum);
        }
        return;
    }
    const BandVoice::Tables& tables = wavetables();
    for (uint32_t j = first; j < n; ++j) {
        if (levels[j] < 0.0f) {
            continue;
        }
        const float out =
            voice.renderShapes<Shapes>(tables, views, values.weights[j], midis[j], frequencies[j]);
        sum[j] = sum[j] + out * levels[j];
    }
}

void DSPEngine::analyseSlice(int channelIndex, bool first) {
    if (fft.size() < 1 || !buffersReady()) {
        return;
    }
    ChannelState& ch = channels[channelIndex];
    const int w = ch.writeIndex;
    std::copy(ch.ring.begin() + w, ch.ring.end(), frame.begin());
    std::copy(ch.ring.begin(), ch.ring.begin() + w, frame.begin() + (kRingSize - w));
    float poison = 0.0f;
    bool anySound = false;
    for (int n = 0; n < kFFTSize; ++n) {
        frame[n] = frame[n] * window[n];
        poison += frame[n] * 0.0f;
        anySound |= frame[n] != 0.0f;
    }
    if (!std::isfinite(poison)) {
        // Overflowed input reached the ring: clear those samples for good and analyse what is left.
        for (float& sample : ch.ring) {
            sample = finiteOrZero(sample);
        }
        std::copy(ch.ring.begin() + w, ch.ring.end(), frame.begin());
        std::copy(ch.ring.begin(), ch.ring.begin() + w, frame.begin() + (kRingSize - w));
        for (int n = 0; n < kFFTSize; ++n) {
            frame[n] = finiteOrZero(frame[n] * window[n]);
        }
    }
    if (anySound || !std::isfinite(poison)) {
        fft.forward(referencePaths ? RealFFT::Path::Scalar : RealFFT::Path::Avx2, frame.data(),
                    realPart.data(), imagPart.data());
        imagPart[0] = 0.0f;
        for (int k = 0; k < kBins; ++k) {
            magnitudes[k] = std::sqrt(realPart[k] * realPart[k] + imagPart[k] * imagPart[k]);
        }
    } else {
        // A silent frame transforms to zeros (signed at most, and the magnitudes square the sign away).
        std::fill(magnitudes.begin(), magnitudes.end(), 0.0f);
    }

    const double sr = params.sampleRate;
    const double binWidth = sr / 4096.0;
    const int32_t bandCount = loadRelaxed(params.bands);
    analyser.bandCount = bandCount;

    const double ceiling = sr * 0.45;
    const auto limitRange = [ceiling](double f) { return f < 20.0 ? 20.0 : (f > ceiling ? ceiling : f); };
    const float low = loadRelaxed(params.lowFrequency);
    const float high = loadRelaxed(params.highFrequency);
    const double lo = limitRange(std::min(low, high));
    const double hi = limitRange(std::max(low, high));
    analyser.rangeLo = static_cast<float>(lo);
    analyser.rangeHi = static_cast<float>(hi);
    const double ratio = std::log2(hi / lo);

    for (int b = 0; b < kBands; ++b) {
        float displayLevel = 0.0f;
        OnePoleSmoother& levelSmoother = ch.levelSmoothers[b];
        const auto silence = [&] {
            levelSmoother.target = 0.0f;
            ch.bandActive[b] = false;
        };
        if (b >= bandCount) {
            silence();
        } else {
            const double f0 = lo * std::exp2(ratio * b / bandCount);
            const double f1 = lo * std::exp2(ratio * (b + 1) / bandCount);
            const int64_t k0 = std::max(static_cast<int64_t>(std::ceil(f0 / binWidth)), int64_t{1});
            const int64_t k1 = std::min(static_cast<int64_t>(std::floor(f1 / binWidth)), int64_t{kBins - 2});
            if (k1 < k0) {
                silence();
                const float level = interpolatedMagnitude(std::sqrt(f0 * f1), binWidth) * kMagnitudeScale;
                displayLevel = level >= kBandThreshold ? std::min(level, 1.0f) : 0.0f; // NaN shows nothing
            } else {
                int64_t peak = k0;
                for (int64_t k = k0 + 1; k <= k1; ++k) {
                    if (magnitudes[k] > magnitudes[peak]) {
                        peak = k;
                    }
                }
                const float amp = magnitudes[peak] * kMagnitudeScale;
                // A spectrum that overflowed (input near the top of the float range) is no peak at all.
                if (!(amp >= kBandThreshold) || !std::isfinite(amp)) {
                    silence();
                } else {
                    double kf = static_cast<double>(peak);
                    if (peak >= 2 && peak <= kBins - 2) {
                        const float a = std::log(std::max(magnitudes[peak - 1], 1e-12f));
                        const float c = std::log(std::max(magnitudes[peak], 1e-12f));
                        const float e = std::log(std::max(magnitudes[peak + 1], 1e-12f));
                        const float d = a - 2.0f * c + e;
                        if (std::fabs(d) > 1e-9f) {
                            kf = kf + std::clamp(0.5f * (a - e) / d, -0.5f, 0.5f);
                        }
                    }
                    const float note = 12.0f * std::log2(static_cast<float>(binWidth * kf / 440.0)) + 69.0f;
                    const float level = std::min(amp, 1.0f);
                    if (!std::isfinite(note)) {
                        silence();
                        analyser.levels[b] = first ? 0.0f : analyser.levels[b];
                        continue;
                    }
                    OnePoleSmoother& noteSmoother = ch.noteSmoothers[b];
                    if (!ch.bandActive[b]) {
                        noteSmoother.jumpTo(note);
                        ch.bandActive[b] = true;
                    } else {
                        noteSmoother.target = note;
                    }
                    levelSmoother.target = level;
                    displayLevel = level;
                }
            }
        }
        analyser.levels[b] = first ? displayLevel : std::max(analyser.levels[b], displayLevel);
    }
}

float DSPEngine::interpolatedMagnitude(double frequency, double binWidth) const {
    const double p = frequency / binWidth;
    const int64_t i = std::max(static_cast<int64_t>(std::floor(p)), int64_t{1});
    const int64_t i0 = std::min(i, int64_t{kBins - 2});
    const int64_t i1 = std::min(i, int64_t{kBins - 3}) + 1;
    const float t = static_cast<float>(std::clamp(p - static_cast<double>(i0), 0.0, 1.0));
    const float a = std::log(std::max(magnitudes[i0], 1e-12f));
    const float b = std::log(std::max(magnitudes[i1], 1e-12f));
    return std::exp(a + (b - a) * t);
}
