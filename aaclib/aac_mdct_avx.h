// The eight-lane (256-bit AVX2) forms of the transforms' hot loops, for processors that
// have AVX2 (see EightLanesAvailable). Each does, lane by lane, the arithmetic of the
// four-lane code it stands for, in the same order, so both give the same bits.
#pragma once

#include <cstdint>

namespace zbaac::lanes8 {

// The radix-4 stage that combines the transforms of m values into ones of 4m, over all
// `points` values (Fft::ForwardStagesFrom's loop body). m is a multiple of eight.
void FftStage(float* re, float* im, const float* stageTwiddles, int m, int points);

}  // namespace zbaac::lanes8
