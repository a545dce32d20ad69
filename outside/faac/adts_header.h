// The ADTS header that frames one raw data block, so that a stream can be read from any
// frame on and tells its own rate and channels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

inline constexpr size_t kAdtsHeaderBytes = 7;
// The 13-bit frame length counts the header too.
inline constexpr size_t kAdtsLongestBlockBytes = 8191 - kAdtsHeaderBytes;

struct AdtsHeaderFields {
  int objectType = 2;     // AAC object type: 2 low complexity, 4 long-term prediction
  int samplingIndex = 4;  // index into the AAC sampling rate table
  int channels = 2;       // channel configuration: 1 mono, 2 stereo
};

// The header bytes of a frame of one block of `blockBytes`: MPEG-4, no CRC, variable rate
// (buffer fullness 0x7FF). Nothing when the block is too long for the frame length field.
std::optional<std::array<uint8_t, kAdtsHeaderBytes>> BuildAdtsHeader(const AdtsHeaderFields& fields,
                                                                      size_t blockBytes);
