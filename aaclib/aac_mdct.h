// Windowed inverse and forward MDCT through a quarter-length complex FFT.
#pragma once

#include <cstdint>
#include <vector>

#include "aaclib/aac_fft.h"

namespace zbaac {

// MDCT of size n (2048 for long blocks, 256 for short windows): n/2 coefficients against
// n time samples. Each transform folds the data into an n/4-point complex sequence, turns
// it with the pre-twiddles exp(-2 pi i (p + 1/8) / n), runs the FFT and turns the result
// with the same twiddles. The windows come in as halves of n/2 entries: the first half of
// the n samples is weighted by `rise`, the second half by `fall` (sample n/2 + i by
// fall[i]). The object keeps its scratch space, so one instance serves one transform at a
// time.
class Mdct {
 public:
  // n: 32 times a power of two (256 and 2048 are the filterbank's sizes). Sizes below
  // 256 run on four lanes.
  explicit Mdct(int n, Lanes lanes = Lanes::kWidest);

  // Whether the inverse transform runs on eight lanes (same bits as on four).
  bool EightLanes() const { return fft_.EightLanes(); }

  // The inverse transform x[j] = (2/n) sum_k coefs[k] cos(2 pi/n (j + n0)(k + 1/2)),
  // n0 = (n/2 + 1)/2, windowed and laid out in one pass over the FFT's result:
  // first[j] = x[j] rise[j] + add[j] and second[j] = x[n/2 + j] fall[j] for j < n/2. The arrays must not overlap (`coefs` may be the FFT's input only).
  void InverseWindowed(const float* coefs, const float* rise, const float* fall, const float* add, float* first,
                       float* second);

  // The forward transform of the windowed input: coefs[k] = 2 sum_j w[j] in[j]
  // cos(2 pi/n (j + n0)(k + 1/2)), k = 0 .. n/2-1 (in has n entries), w the window
  // described above. Inverse of InverseWindowed after overlap-add with a
  // power-complementary window.
  void ForwardWindowed(const float* in, const float* rise, const float* fall, float* coefs);

 private:
  // The FFT of the pre-twiddled sequence in[2p] + i in[m - 1 - 2p] (m = n/2); the result
  // stays in workRe_, workIm_. The sequence is gathered into the order the FFT's first
  // pass takes it, four blocks of its first stages side by side in the lanes (with eight
  // lanes, two such sets from two blocks of the pass); that pass twiddles it and runs
  // those stages and the next one before anything is stored; the FFT does the remaining
  // stages.
  void Transform(const float* in);
  // Transform without the FFT's last stage, which the eight-lane inverse runs together
  // with its post-twiddle and windowed output.
  void TransformButLastStage(const float* in);
  void FirstPass();
  void Gather(const float* in);
  void FirstPassOf32();
  void FirstPassOf16();

  int n_;
  Fft fft_;
  int firstPassPoints_;           // 32 or 16: the size of the transforms the first pass makes
  AlignedFloats twiddleRe_;  // exp(-2 pi i (p + 1/8) / n), p < n/4
  AlignedFloats twiddleIm_;
  AlignedFloats scaledRe_;  // the same times 2/n, for the inverse
  AlignedFloats scaledIm_;
  // The FFT's input in the order the first pass takes it (block after block of its four
  // lanes, or with eight lanes pair after pair of blocks b and b + half the blocks): the
  // real parts, then the imaginary parts; and the twiddle of each value.
  AlignedFloats gathered_;
  AlignedFloats gatherTwiddleRe_;
  AlignedFloats gatherTwiddleIm_;
  // Per tile of the input (seen as rows of n/2 / firstPassPoints_ values) of four rows by
  // four columns, the places in gathered_ of its four transposed columns; with eight
  // lanes, per four rows by eight columns, the places of the four eight-lane slots they
  // fill (see the constructor).
  std::vector<std::uint16_t> tileSlots_;
  AlignedFloats workRe_;  // the n/4-point complex sequence, as the FFT takes it
  AlignedFloats workIm_;
  AlignedFloats fold_;
};

}  // namespace zbaac
