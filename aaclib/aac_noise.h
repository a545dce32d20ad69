// Perceptual noise substitution: noise bands filled from the library's generator.
#pragma once

#include <array>
#include <cstdint>

#include "aaclib/aac_syntax.h"

namespace zbaac {

// The noise source: one linear congruential generator (x 1664525 + 1013904223 mod 2^32)
// that runs on for the life of the decoder, and the state each band of the left channel
// started from, so that a correlated right band repeats the same noise shape.
class NoiseSubstitution {
 public:
  // Fills every noise band of `stream` in coefs with noise of unit energy scaled by
  // 2^(e/4), e the band's noise energy. `left` is the pair's left channel when `stream` is
  // its right channel (nullptr otherwise): a right noise band is correlated with the left
  // band (same noise shape) when its codebook is 113, or 13 with the band's ms_used flag
  // still set, and the left band is a noise band as well; otherwise it gets fresh noise.
  void Apply(const ChannelStream& stream, const ChannelStream* left, const PairStereo* pair, float* coefs);

  std::uint32_t State() const { return state_; }

 private:
  // Generates one band from *state (advancing it) and scales it.
  static void FillBand(std::uint32_t& state, int energy, float* out, int width);

  std::uint32_t state_ = 0;
  std::array<std::array<std::uint32_t, kMaxBands>, kMaxWindows> bandStates_{};
};

}  // namespace zbaac
