// EncodeAacFile: stereo WAV to an ADIF or ADTS AAC file through the outside AAC encoder
// (libfaac.so).
#pragma once

#include <cstdint>
#include <string>

#include "maker/codec/codec_event.h"

// How one AAC encode is configured.
struct AacEncodeOptions {
  uint16_t bitRate = 128;    // kbit/s
  bool jointStereo = false;  // mid/side stereo coding
  bool useTns = false;       // temporal noise shaping
  bool useLtp = false;       // long-term prediction
  bool adts = false;         // ADTS frames instead of one ADIF header
};

// Loads "faac" by name, checks the WAV (CheckEncoderInput, then two channels),
// reserves the ADIF header at the start of the output, encodes the data chunk (not what
// follows it; all of the rest of the file when its size is unset) frame by frame with a
// progress event and a cancel check every 16 frames, writes the header the encoder hands
// back when it is freed, and reports exactly one final event (15, or the first failure;
// an encoder that hands back no header fails the encode with kind 11).
// With options.adts the encoder frames every block with its own ADTS header instead, and the
// file has no ADIF header to reserve or rewrite.
// A one-channel input is refused with kind 7 before the output is created.
void EncodeAacFile(const std::string& inputPath, const std::string& outputPath, const AacEncodeOptions& options,
                   void* record, CodecStatusCallback callback);

// Progress in hundredths of a percent after `bytesRead` of `dataBytes` input bytes, counted
// in whole units of 10000 bytes; inputs shorter than that are counted byte by byte.
int32_t AacEncodeProgress(int64_t bytesRead, int64_t dataBytes);
