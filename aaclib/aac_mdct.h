// Inverse and forward MDCT through a quarter-length complex FFT.
#pragma once

#include <vector>

#include "aaclib/aac_fft.h"

namespace zbaac {

// MDCT of size n (2048 for long blocks, 256 for short windows): n/2 coefficients against
// n time samples. Each transform folds the data into an n/4-point complex sequence, turns
// it with the pre-twiddles exp(-2 pi i (p + 1/8) / n), runs the FFT and turns the result
// with the same twiddles. The object keeps its scratch space, so one instance serves one
// transform at a time.
class Mdct {
 public:
  explicit Mdct(int n);

  // x[j] = (2/n) sum_k coefs[k] cos(2 pi/n (j + n0)(k + 1/2)), n0 = (n/2 + 1)/2,
  // for j = 0 .. n-1 (out has n entries, coefs n/2).
  void Inverse(const float* coefs, float* out);

  // coefs[k] = 2 sum_j in[j] cos(2 pi/n (j + n0)(k + 1/2)), k = 0 .. n/2-1 (in has n
  // entries). Inverse of Inverse after windowing and overlap-add with a power-complementary
  // window.
  void Forward(const float* in, float* coefs);

 private:
  // out[j] = sum_k in[k] cos(pi/m (j + 1/2)(k + 1/2)), m = n/2 (m entries each; in and out
  // may be the same array).
  void DctIv(const float* in, float* out);

  int n_;
  Fft fft_;
  std::vector<float> twiddleRe_;  // exp(-2 pi i (p + 1/8) / n), p < n/4
  std::vector<float> twiddleIm_;
  std::vector<float> workRe_;  // the n/4-point complex sequence, as the FFT takes it
  std::vector<float> workIm_;
  std::vector<float> fold_;
};

}  // namespace zbaac
