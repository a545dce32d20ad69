// The PCM format of an audio output: interleaved little-endian integer samples.
#pragma once

#include <cstdint>

struct AudioFormat {
  uint32_t sampleRate = 44100;  // frames per second
  uint16_t channels = 2;
  uint16_t bitsPerSample = 16;  // 8 (unsigned), 16, 24 or 32 (signed)

  uint32_t BytesPerFrame() const { return uint32_t(channels) * (bitsPerSample / 8); }
  uint32_t BytesPerSecond() const { return sampleRate * BytesPerFrame(); }
  // A format every back end can be asked for.
  bool Valid() const {
    return sampleRate >= 1000 && sampleRate <= 384000 && channels >= 1 && channels <= 8 &&
           (bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 || bitsPerSample == 32);
  }
  bool operator==(const AudioFormat&) const = default;
};
