// Packing the fixed and variable parts of the ADTS header into its seven bytes.
#include "outside/faac/adts_header.h"

std::optional<std::array<uint8_t, kAdtsHeaderBytes>> BuildAdtsHeader(const AdtsHeaderFields& fields,
                                                                      size_t blockBytes) {
  if (blockBytes > kAdtsLongestBlockBytes) return std::nullopt;
  const auto length = static_cast<uint32_t>(blockBytes + kAdtsHeaderBytes);
  const auto profile = static_cast<uint32_t>(fields.objectType - 1) & 3;
  const auto sampling = static_cast<uint32_t>(fields.samplingIndex) & 15;
  const auto channels = static_cast<uint32_t>(fields.channels) & 7;
  constexpr uint32_t kVariableRate = 0x7FF;  // buffer fullness of a variable-rate stream
  // syncword 0xFFF, ID 0 (MPEG-4), layer 0, protection_absent 1; then profile, sampling
  // index, private bit 0 and the channel configuration across bytes 2 and 3; original,
  // home and the copyright bits 0; the frame length; the buffer fullness; and 0 for one
  // raw data block in the frame.
  return std::array<uint8_t, kAdtsHeaderBytes>{
      0xFF,
      0xF1,
      static_cast<uint8_t>(profile << 6 | sampling << 2 | channels >> 2),
      static_cast<uint8_t>((channels & 3) << 6 | length >> 11),
      static_cast<uint8_t>(length >> 3),
      static_cast<uint8_t>((length & 7) << 5 | kVariableRate >> 6),
      static_cast<uint8_t>((kVariableRate & 0x3F) << 2),
  };
}
