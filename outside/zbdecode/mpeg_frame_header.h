// The 4-byte header of an MPEG audio frame (MPEG-1, MPEG-2 and MPEG-2.5, Layers I to III).
#pragma once

#include <array>
#include <cstdint>
#include <optional>

// Bit rates in kbit/s by bitrate_index (0 = free format, 15 is forbidden).
// ISO/IEC 11172-3 clause 2.4.2.3, MPEG-1 Layers I, II, III.
inline constexpr std::array<std::array<uint16_t, 15>, 3> kMpeg1BitRates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
}};
// ISO/IEC 13818-3 clause 2.4.2.3, the lower sampling frequencies (MPEG-2 and MPEG-2.5):
// Layer I, then Layers II and III, which share one row.
inline constexpr std::array<std::array<uint16_t, 15>, 2> kMpeg2BitRates = {{
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
}};
// Sampling frequencies in Hz by sampling_frequency (3 is reserved), for MPEG-1
// (ISO/IEC 11172-3 clause 2.4.2.3), MPEG-2 (ISO/IEC 13818-3 clause 2.4.2.3) and MPEG-2.5
// (half the MPEG-2 rates).
inline constexpr std::array<std::array<uint32_t, 3>, 3> kMpegSampleRates = {{
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
}};

struct MpegFrameHeader {
  int version = 1;          // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
  int layer = 3;            // 1, 2 or 3
  uint32_t sampleRate = 0;  // Hz
  int channels = 2;         // 1 for the single-channel mode, else 2
  uint32_t bitRateKbps = 0; // 0: free format, the frame size is not in the header
  bool padded = false;
  // Bytes of the frame, header included: 0 in free format. A padded frame is one slot
  // longer: 4 bytes in Layer I, 1 byte otherwise.
  uint32_t frameBytes = 0;
  uint32_t paddingBytes = 0;  // what the padding adds to this frame (0 when not padded)
};

// Parses the four bytes at `bytes`: nullopt unless they hold the 11-bit sync word, a known
// version, layer, bit rate and sampling frequency, and a permitted emphasis.
std::optional<MpegFrameHeader> ParseMpegFrameHeader(const uint8_t* bytes);

// True when `next` can follow `first` in one stream: same version, layer, sampling
// frequency and channel count, and both in free format or neither (the bit rate of a
// variable-rate stream changes from frame to frame).
bool SameMpegStream(const MpegFrameHeader& first, const MpegFrameHeader& next);
