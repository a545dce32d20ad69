// Complex FFT of 64 or 512 points, the quarter-length transforms under the MDCTs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace zbaac {

// How wide the transforms' vector code runs: eight lanes (256-bit AVX2) where the processor
// has them, else four; or four whatever the processor has. Both give the same bits.
enum class Lanes { kWidest, kFour };

// Whether this processor (and its system) runs the eight-lane code.
bool EightLanesAvailable();

// Storage for the transforms' arrays that starts on a 64-byte cache line: a 32-byte vector
// load from a place only 16-byte aligned (all that malloc promises) straddles two lines
// every other time, which costs the eight-lane code a second access.
template <typename T>
struct LineAligned {
  using value_type = T;
  static constexpr std::align_val_t kAlignment{64};
  LineAligned() = default;
  template <typename U>
  LineAligned(const LineAligned<U>&) {}
  T* allocate(std::size_t count) { return static_cast<T*>(::operator new(count * sizeof(T), kAlignment)); }
  void deallocate(T* at, std::size_t) { ::operator delete(at, kAlignment); }
  template <typename U>
  bool operator==(const LineAligned<U>&) const {
    return true;
  }
};
using AlignedFloats = std::vector<float, LineAligned<float>>;

// Forward transform X[q] = sum x[p] exp(-2 pi i p q / n), in place, unscaled.
// Radix-4 decimation in time on bit-reversed input (a radix-2 stage first when the size is
// an odd power of two). Permutation and every stage's twiddles are computed at
// construction, so a transform evaluates no sine or cosine.
class Fft {
 public:
  // points: a power of two from 4 to 4096.
  explicit Fft(int points, Lanes lanes = Lanes::kWidest);

  // Whether the stages run on eight lanes.
  bool EightLanes() const { return eightLanes_; }

  // The transform on separate real and imaginary arrays (`points` entries each): the
  // butterflies of one stage then run over contiguous arrays, which the compiler turns
  // into vector code. Allocates nothing.
  void Forward(float* re, float* im) const;
  // The transform's input order: value p of the sequence belongs at index Reversal()[p]
  // (p with its bits reversed).
  const std::uint16_t* Reversal() const { return reversal_.data(); }
  // Forward(re, im) on values already placed in that order, so that a caller that
  // computes its sequence anyway writes it there instead of having it swapped later.
  void ForwardReordered(float* re, float* im) const;

  // The radix-4 stages that combine the sub-transforms of `points` values (each block of
  // `points` already transformed, in that order) into the whole, for a caller that runs
  // the first stages itself. `points` is 1 or 2 times a power of four, below the size.
  void ForwardStagesFrom(int points, float* re, float* im) const;
  // The same stages up to the one that makes transforms of `upTo` values (a power of four
  // times `points`, at most the size), for a caller that also runs the last ones itself.
  void ForwardStagesBetween(int points, int upTo, float* re, float* im) const;
  // The twiddles of the radix-4 stage that combines four transforms of m values: the
  // real parts of W^k for k < m (W = exp(-2 pi i / 4m)), their imaginary parts, then the
  // same for W^2k and W^3k (6m floats).
  const float* StageTwiddles(int m) const;

 private:
  int points_;
  bool eightLanes_;
  std::vector<uint16_t> reversal_;  // reversal_[i] = bit-reversed i
  // The stages' twiddles one after the other, from the smallest m (2 or 1) up, each
  // stage starting on a cache line.
  AlignedFloats twiddles_;
  // Where the stage of m positions starts in twiddles_, indexed by log2 m.
  std::array<std::uint32_t, 12> stageOffsets_{};
};

}  // namespace zbaac
