// The vector voice kernels' frame loop, written once for the instruction sets' lane operations.
#pragma once

// For x86-64 units that define TESSARAY_LANE_TARGET, the target attribute of their instruction set, before
// including this header: the loop is compiled for that set in each of them.
#ifndef TESSARAY_LANE_TARGET
#error "TESSARAY_LANE_TARGET names the instruction set of the including unit"
#endif

#include "dsp/VoiceLaneState.hpp"

#include <cstdint>

namespace {

// One render call of the voices in the lanes of Isa, which supplies (for TESSARAY_LANE_TARGET):
//   kLanes; Doubles and Floats (a double or a float per lane); Active (the lanes whose band is rendered in a
//   frame) with bits(), keepActive(), addWhere() and subWhere(); atLeast() and atMost() (lane bits of a
//   comparison, among given lanes); load/store/set1/zero/add/sub/mul/div and aboveOr() on doubles;
//   loadFloats/storeFloats/zeroFloats/addFloats/mulFloats/broadcast on floats and widen()/narrow() between
//   them; sample<Shapes>() (ShapeLanes at a position); Registers (the lanes' voices while they run); and
//   transposeOut() back to one row per voice.
// Each lane performs the scalar code's operations for its voice in the same order and precision (nothing
// fused); voices that need a record re-choice at a cycle end are handed to the scalar code for it.
template <class Isa, int Shapes>
__attribute__((target(TESSARAY_LANE_TARGET))) void renderLanes(const VoiceLaneKernels::Job& job) {
    static_assert(Shapes > 0 && Shapes < (1 << BandVoice::kShapeCount));
    static_assert(Isa::kLanes <= VoiceLaneKernels::kLanes);
    using K = VoiceLaneKernels;
    using Doubles = typename Isa::Doubles;
    using Floats = typename Isa::Floats;
    constexpr int kLanes = Isa::kLanes;
    const uint32_t n = job.n;
    K::State st;
    for (int lane = 0; lane < kLanes; ++lane) {
        K::load(st, lane, job, Shapes);
    }

    // The phase increments frame by frame, lanes side by side.
    alignas(64) double increments[BandVoice::kMaxRun][kLanes];
    {
        alignas(64) double rates[kLanes];
        K::rates(job, kLanes, rates);
        const Doubles rate = Isa::load(rates);
        const Doubles lowest = Isa::set1(0.000001);
        for (uint32_t j = 0; j < n; ++j) {
            const Doubles f = Isa::widen(Isa::loadFloats(job.frequencies + j * K::kLanes));
            Isa::store(increments[j], Isa::div(Isa::aboveOr(f, lowest), rate));
        }
    }

    const double* table = job.shared.steps.data();
    const Doubles one = Isa::set1(1.0);
    const Doubles two = Isa::set1(2.0);
    const Doubles three = Isa::set1(3.0);
    const Doubles zero = Isa::zero();
    const Floats zeroFloats = Isa::zeroFloats();

    typename Isa::Registers r;
    r.reload(st);

    alignas(32) float out[BandVoice::kMaxRun][kLanes];
    for (uint32_t j = 0; j < n; ++j) {
        const Floats level = Isa::loadFloats(job.levels + j * K::kLanes);
        const typename Isa::Active active = Isa::activeOf(level);
        const int activeBits = Isa::bits(active);
        if (activeBits == 0) {
            Isa::storeFloats(out[j], zeroFloats);
            continue;
        }

        // The phase stays in [0, 1) between cycle ends, so it is both the crossfade position and the cycle
        // phase.
        const auto a = Isa::template sample<Shapes>(table, r.currentBase, r.currentSize, r.phase);
        const auto b = r.repeat ? a : Isa::template sample<Shapes>(table, r.nextBase, r.nextSize, r.phase);
        const Doubles fade = Isa::mul(Isa::mul(r.phase, r.phase), Isa::sub(three, Isa::mul(two, r.phase)));
        const Doubles keep = Isa::sub(one, fade);
        Floats voiceOut = zeroFloats;
        for (int s = 0; s < BandVoice::kShapeCount; ++s) {
            if (Shapes & (1 << s)) {
                const Doubles mixed = Isa::add(Isa::mul(a.shape[s], keep), Isa::mul(fade, b.shape[s]));
                voiceOut = Isa::addFloats(
                    voiceOut, Isa::mulFloats(Isa::broadcast(job.weights[j][s]), Isa::narrow(mixed)));
            }
        }
        Isa::storeFloats(out[j], Isa::keepActive(active, Isa::mulFloats(voiceOut, level)));

        r.phase = Isa::addWhere(active, r.phase, Isa::load(increments[j]));
        r.left = Isa::subWhere(active, r.left, one);
        const int wrapped = Isa::atLeast(activeBits, r.phase, one);
        if (wrapped == 0) [[likely]] {
            continue;
        }
        // A cycle end: the phase drops by its whole part and the next record becomes the current one, or,
        // once the countdown has run out, the scalar code also chooses a new next record.
        const int chosen = Isa::atMost(wrapped, r.left, zero);
        const int plain = wrapped & ~chosen;
        if (plain != 0) {
            r.nextCycle(plain, zero, one);
        }
        if (chosen != 0) {
            r.spill(st);
            for (int lane = 0; lane < kLanes; ++lane) {
                if (chosen & (1 << lane)) {
                    K::chooseRecords(st, lane, job, Shapes, j);
                }
            }
            r.reload(st);
        }
    }
    r.spill(st);
    float spare[BandVoice::kMaxRun]; // an idle lane's contributions
    float* rows[kLanes];
    for (int lane = 0; lane < kLanes; ++lane) {
        K::store(st, lane, job, Shapes);
        rows[lane] = job.bands[lane].contributions != nullptr ? job.bands[lane].contributions : spare;
    }
    Isa::transposeOut(out, n, rows);
}

} // namespace
