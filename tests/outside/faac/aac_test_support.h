// Test helpers for the AAC encoder: reading header bits, wrapping raw blocks in ADTS so
// ffmpeg can decode them, and comparing decoded audio with its input.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/outside/gogo/test_media.h"

namespace aac_test {

// Reads bits most significant first; zeros past the end.
struct BitReader {
  uint32_t Get(int bits) {
    uint32_t value = 0;
    for (int i = 0; i < bits; ++i, ++pos) {
      value = value << 1 | uint32_t(pos / 8 < bytes.size() ? (bytes[pos / 8] >> (7 - pos % 8)) & 1 : 0);
    }
    return value;
  }
  size_t BitPosition() const { return pos; }
  const std::vector<uint8_t>& bytes;
  size_t pos = 0;
};

// The fields of an ADIF header with one program configuration element.
struct ParsedAdif {
  std::string magic;
  uint32_t bitstreamType = 0, bitRate = 0, programs = 0;
  uint32_t objectType = 0, samplingIndex = 0, fronts = 0, sides = 0, backs = 0, lfes = 0;
  uint32_t frontIsCpe = 0;
  size_t bytes = 0;  // header length after the comment field
};

inline ParsedAdif ParseAdif(const std::vector<uint8_t>& bytes) {
  ParsedAdif p;
  BitReader r{bytes};
  for (int i = 0; i < 4; ++i) p.magic.push_back(char(r.Get(8)));
  if (r.Get(1)) r.Get(72);  // copyright id
  r.Get(2);                 // original_copy, home
  p.bitstreamType = r.Get(1);
  p.bitRate = r.Get(23);
  p.programs = r.Get(4) + 1;
  if (p.bitstreamType == 0) r.Get(20);
  r.Get(4);  // element_instance_tag
  p.objectType = r.Get(2);
  p.samplingIndex = r.Get(4);
  p.fronts = r.Get(4);
  p.sides = r.Get(4);
  p.backs = r.Get(4);
  p.lfes = r.Get(2);
  r.Get(3 + 4);  // assoc data, valid cc
  if (r.Get(1)) r.Get(4);
  if (r.Get(1)) r.Get(4);
  if (r.Get(1)) r.Get(3);
  for (uint32_t i = 0; i < p.fronts; ++i) {
    p.frontIsCpe = r.Get(1);
    r.Get(4);
  }
  while (r.BitPosition() % 8) r.Get(1);
  const uint32_t comment = r.Get(8);
  p.bytes = r.BitPosition() / 8 + comment;
  return p;
}

// One ADTS frame per raw block (MPEG-4, no CRC).
inline std::vector<unsigned char> ToAdts(const std::vector<std::vector<uint8_t>>& blocks, int objectType,
                                         int samplingIndex, int channels) {
  std::vector<unsigned char> out;
  for (const auto& block : blocks) {
    const uint32_t length = uint32_t(block.size()) + 7;
    out.push_back(0xFF);
    out.push_back(0xF1);
    out.push_back(uint8_t((objectType - 1) << 6 | samplingIndex << 2 | (channels >> 2)));
    out.push_back(uint8_t((channels & 3) << 6 | (length >> 11)));
    out.push_back(uint8_t(length >> 3));
    out.push_back(uint8_t((length & 7) << 5 | 0x1F));
    out.push_back(0xFC);
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

// Normalised correlation of one channel of decoded audio, shifted by delayFrames, with the input.
inline double Correlation(const std::vector<int16_t>& input, const std::vector<int16_t>& decoded, int channels,
                          int channel, size_t delayFrames) {
  double xy = 0, xx = 0, yy = 0;
  const size_t frames = input.size() / size_t(channels);
  for (size_t i = 0; i < frames; ++i) {
    const size_t j = (i + delayFrames) * size_t(channels) + size_t(channel);
    if (j >= decoded.size()) break;
    const double x = input[i * size_t(channels) + size_t(channel)], y = decoded[j];
    xy += x * y;
    xx += x * x;
    yy += y * y;
  }
  return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;
}

}  // namespace aac_test
