// Complex FFT of 64 or 512 points, the quarter-length transforms under the MDCTs.
#pragma once

#include <cstdint>
#include <vector>

namespace zbaac {

struct Complex {
  float re;
  float im;
};

// Forward transform X[q] = sum x[p] exp(-2 pi i p q / n), in place, unscaled.
// Radix-4 decimation in time on bit-reversed input (a radix-2 stage first when the size is
// an odd power of two). Permutation and every stage's twiddles are computed at
// construction, so a transform allocates nothing and evaluates no sine or cosine.
class Fft {
 public:
  explicit Fft(int points);  // points: a power of two from 4 to 4096

  int Points() const { return points_; }
  void Forward(Complex* data) const;

 private:
  int points_;
  std::vector<uint16_t> reversal_;  // reversal_[i] = bit-reversed i
  std::vector<Complex> twiddles_;   // per radix-4 stage, per position: W^k, W^2k, W^3k
};

}  // namespace zbaac
