// The eight-lane (256-bit AVX2) forms of the transforms' hot loops, for processors that
// have AVX2 (see EightLanesAvailable). Each does, lane by lane, the arithmetic of the
// four-lane code it stands for, in the same order, so both give the same bits.
#pragma once

#include <cstdint>

namespace zbaac::lanes8 {

// The radix-4 stage that combines the transforms of m values into ones of 4m, over all
// `points` values (a pass of Fft::ForwardStagesBetween). m is a multiple of eight.
void FftStage(float* re, float* im, const float* stageTwiddles, int m, int points);

// The MDCT's gather: `in`, seen as `rows` x `columns` values (rows a multiple of four,
// columns of eight), is transposed in tiles of four rows by eight columns; per tile,
// `slots` gives the places in `gathered` of the eight-lane slots made of its columns 0
// and 2, 4 and 6, 3 and 1 (read backwards), 7 and 5 (see the Mdct constructor).
void Gather(const float* in, int rows, int columns, const std::uint16_t* slots, float* gathered);

// The MDCT's first pass of `points` (32 or 16) on two blocks at once: the gathered values
// (real parts, then `quarter` further on the imaginary ones) of blocks b and
// b + quarter / (2 points) side by side in the lanes, block pair after block pair. The
// results go to block b's place in workRe/workIm and quarter/2 values further on.
// tw2, tw8 and tw4 are the FFT's twiddles of the stages of m = 2, 8 and 4.
void FirstPassOf32(const float* gathered, const float* twiddleRe, const float* twiddleIm, int quarter,
                   const float* tw2, const float* tw8, float* workRe, float* workIm);
void FirstPassOf16(const float* gathered, const float* twiddleRe, const float* twiddleIm, int quarter,
                   const float* tw4, float* workRe, float* workIm);

// Mdct::InverseWindowed's end: the FFT's last stage (the one that combines four
// transforms of m values in re/im into the result of h = 4m; stageTwiddles as
// Fft::StageTwiddles(m)), the post-twiddle of the result (wr/wi, scaled by 2/n) and its
// layout, windowed, into first and second. m is a multiple of 16.
void InverseLastStage(const float* re, const float* im, const float* stageTwiddles, int m, const float* wr,
                      const float* wi, const float* rise, const float* fall, const float* add, float* first,
                      float* second);

}  // namespace zbaac::lanes8
