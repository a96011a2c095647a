#include "dsp/DSPKernel.hpp"

#include <cmath>

DSPSharedState& DSPSharedState::operator=(const DSPSharedState& other) {
    constexpr auto relaxed = std::memory_order_relaxed;
    for (int i = 0; i < kParameterCount; ++i) {
        paramValues[i].store(other.paramValues[i].load(relaxed), relaxed);
    }
    dirtyMask.store(other.dirtyMask.load(relaxed), relaxed);
    vizBandCount.store(other.vizBandCount.load(relaxed), relaxed);
    vizRangeLo.store(other.vizRangeLo.load(relaxed), relaxed);
    vizRangeHi.store(other.vizRangeHi.load(relaxed), relaxed);
    for (int i = 0; i < kBands; ++i) {
        vizBandAmps[i].store(other.vizBandAmps[i].load(relaxed), relaxed);
    }
    return *this;
}

void DSPKernel::setParameter(uint64_t address, float value, bool markDirty) {
    if (address >= DSPSharedState::kParameterCount) {
        return;
    }
    // A NaN or infinity would poison the smoothers and every sample after them for good.
    if (!std::isfinite(value)) {
        return;
    }
    EngineParams& p = engine.params;
    DSPEngine::ParameterSmoothers& s = engine.smoothers;
    const float sr = static_cast<float>(engine.params.sampleRate);
    switch (address) {
    case 0: {
        const float truncated = std::trunc(value);
        const int32_t bands =
            truncated < 1.0f ? 1 : (truncated > 64.0f ? 64 : static_cast<int32_t>(truncated));
        storeRelaxed(p.bands, bands);
        break;
    }
    case 1:
        storeRelaxed(p.lowFrequency, value);
        break;
    case 2:
        storeRelaxed(p.highFrequency, value);
        break;
    case 3:
        storeRelaxed(p.sliceMs, value);
        break;
    case 4:
        storeRelaxed(p.blur, value);
        engine.setNoteGlide(value);
        break;
    case 5:
        storeRelaxed(p.feedback, value);
        s.feedback.setTarget(value * 0.01f);
        break;
    case 6:
        storeRelaxed(p.inputGainDb, value);
        s.inputGain.setTarget(DSPEngine::dbToGain(value));
        break;
    case 7:
        storeRelaxed(p.outputGainDb, value);
        s.outputGain.setTarget(DSPEngine::dbToGain(value));
        break;
    case 8:
        storeRelaxed(p.mix, value);
        s.mix.setTarget(value * 0.01f);
        break;
    case 10:
        storeRelaxed(p.octave, value);
        s.pitch.setTarget(value * 12.0f + loadRelaxed(p.noteCents) / 100.0f);
        break;
    case 11:
        storeRelaxed(p.noteCents, value);
        s.pitch.setTarget(loadRelaxed(p.octave) * 12.0f + value / 100.0f);
        break;
    case 12:
        storeRelaxed(p.age, value);
        s.age.setTarget(value * 0.01f);
        break;
    case 13:
        storeRelaxed(p.gateThresholdDb, value);
        storeRelaxed(p.gateThreshold, DSPEngine::dbToGain(value));
        break;
    case 14:
        storeRelaxed(p.gateReductionDb, value);
        storeRelaxed(p.gateReduction, DSPEngine::dbToGain(value));
        break;
    case 15:
    case 16:
        storeRelaxed(address == 15 ? p.gateAttackMs : p.gateReleaseMs, value);
        storeRelaxed(p.gateAttackCoefficient, DSPEngine::gateCoefficient(loadRelaxed(p.gateAttackMs), sr));
        storeRelaxed(p.gateReleaseCoefficient, DSPEngine::gateCoefficient(loadRelaxed(p.gateReleaseMs), sr));
        break;
    case 17:
        storeRelaxed(p.morphX, value);
        s.morphX.setTarget(value);
        break;
    case 18:
        storeRelaxed(p.morphY, value);
        s.morphY.setTarget(value);
        break;
    default: // 9 carries no engine parameter
        break;
    }
    sharedState.paramValues[address].store(value, std::memory_order_relaxed);
    if (markDirty) {
        sharedState.dirtyMask.fetch_or(uint32_t{1} << address, std::memory_order_release);
    }
}

void DSPKernel::process(const float* const* inputs, uint32_t inputCount, float* const* outputs,
                        uint32_t outputCount, uint32_t frameCount) {
    engine.process(inputs, inputCount, outputs, outputCount, frameCount);
    const DSPEngine::AnalyserValues& a = engine.analyser;
    constexpr auto relaxed = std::memory_order_relaxed;
    sharedState.vizBandCount.store(a.bandCount, relaxed);
    sharedState.vizRangeLo.store(a.rangeLo, relaxed);
    sharedState.vizRangeHi.store(a.rangeHi, relaxed);
    for (int b = 0; b < DSPEngine::kBands; ++b) {
        sharedState.vizBandAmps[b].store(a.levels[b], relaxed);
    }
}
