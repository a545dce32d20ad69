// MPEG audio frame headers and frame sizes.
#include "outside/zbdecode/mpeg_frame_header.h"

std::optional<MpegFrameHeader> ParseMpegFrameHeader(const uint8_t* b) {
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return std::nullopt;
  const int versionBits = (b[1] >> 3) & 3;  // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
  const int layerBits = (b[1] >> 1) & 3;    // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
  const int bitRateIndex = b[2] >> 4;
  const int rateIndex = (b[2] >> 2) & 3;
  const int emphasis = b[3] & 3;
  if (versionBits == 1 || layerBits == 0 || bitRateIndex == 15 || rateIndex == 3 || emphasis == 2) {
    return std::nullopt;
  }
  MpegFrameHeader h;
  h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 3;
  h.layer = 4 - layerBits;
  h.sampleRate = kMpegSampleRates[static_cast<size_t>(h.version - 1)][static_cast<size_t>(rateIndex)];
  h.channels = (b[3] >> 6) == 3 ? 1 : 2;
  h.padded = (b[2] & 0x02) != 0;
  const auto index = static_cast<size_t>(bitRateIndex);
  if (h.version == 1) {
    h.bitRateKbps = kMpeg1BitRates[static_cast<size_t>(h.layer - 1)][index];
  } else {
    h.bitRateKbps = kMpeg2BitRates[h.layer == 1 ? 0 : 1][index];
  }
  const uint32_t slotBytes = h.layer == 1 ? 4 : 1;
  h.paddingBytes = h.padded ? slotBytes : 0;
  if (h.bitRateKbps == 0) return h;
  const uint32_t bitsPerSecond = h.bitRateKbps * 1000;
  if (h.layer == 1) {
    h.frameBytes = (12 * bitsPerSecond / h.sampleRate) * 4;
  } else {
    // A Layer III frame of the lower sampling frequencies carries 576 samples, not 1152.
    const uint32_t factor = h.layer == 3 && h.version != 1 ? 72 : 144;
    h.frameBytes = factor * bitsPerSecond / h.sampleRate;
  }
  h.frameBytes += h.paddingBytes;
  return h;
}

bool SameMpegStream(const MpegFrameHeader& first, const MpegFrameHeader& next) {
  return first.version == next.version && first.layer == next.layer && first.sampleRate == next.sampleRate &&
         first.channels == next.channels && (first.bitRateKbps == 0) == (next.bitRateKbps == 0);
}
