// A second, deliberately plain computation of the AccurateRip checksums, written from the
// published definition and sharing no code with maker/accuracy, for the tests to compare with.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace arref {

struct Sums {
  uint32_t v1 = 0;
  uint32_t v2 = 0;
};

// A track given as interleaved 16-bit samples (left, right, left, right ...). Each stereo
// frame is read as the 32-bit little-endian word the disc holds; the word at 1-based
// position k is multiplied by k in 64 bits. The first track of a disc leaves out positions
// 1 ... 2 939 (five sectors of 588 frames less one), the last track its last 2 940
// positions (five sectors).
inline Sums Checksums(const std::vector<int16_t>& samples, bool firstTrack, bool lastTrack) {
  const uint64_t frames = samples.size() / 2;
  Sums sums;
  for (uint64_t k = 1; k <= frames; ++k) {
    if (firstTrack && k < 2940) continue;
    if (lastTrack && k + 2940 > frames) continue;
    const uint16_t left = static_cast<uint16_t>(samples[2 * (k - 1)]);
    const uint16_t right = static_cast<uint16_t>(samples[2 * (k - 1) + 1]);
    const uint64_t word = (static_cast<uint64_t>(right) << 16) | left;
    const uint64_t product = word * k;
    sums.v1 += static_cast<uint32_t>(product & 0xFFFFFFFFu);
    sums.v2 += static_cast<uint32_t>(product & 0xFFFFFFFFu);
    sums.v2 += static_cast<uint32_t>(product >> 32);
  }
  return sums;
}

// The frames of `samples` as the words the project's code takes.
inline std::vector<uint32_t> Words(const std::vector<int16_t>& samples) {
  std::vector<uint32_t> words(samples.size() / 2);
  for (size_t i = 0; i < words.size(); ++i)
    words[i] = static_cast<uint16_t>(samples[2 * i]) | static_cast<uint32_t>(static_cast<uint16_t>(samples[2 * i + 1])) << 16;
  return words;
}

// Full-scale noise of `frames` stereo frames: large words, so that the high halves of the
// products (what v2 adds) are far from zero.
inline std::vector<int16_t> Noise(size_t frames, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<int16_t> samples(frames * 2);
  for (auto& s : samples) s = static_cast<int16_t>(value(random));
  return samples;
}

}  // namespace arref
