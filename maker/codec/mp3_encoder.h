// EncodeMp3File: WAV to MP3 through the outside MP3 encoder library (libgogo.so).
#pragma once

#include <cstdint>
#include <string>

#include "maker/codec/codec_event.h"
#include "maker/codec/encoder_input.h"

// How one MP3 encode is configured.
struct Mp3EncodeOptions {
  uint16_t bitRate = 128;    // kbit/s, or 1001..1010 for VBR quality 9..0
  bool mono = false;         // one channel out (a one-channel input is always encoded so)
  bool mpeg2 = false;        // MPEG-2 rates: half the input's sample rate from 32000 Hz up
  bool jointStereo = false;  // joint stereo instead of plain stereo
  bool fastMode = false;     // the encoder's faster, lower-quality mode
};

// Loads "gogo" by name, checks the WAV (CheckEncoderInput: 16-bit PCM at 16000, 22050,
// 24000, 32000, 44100 or 48000 Hz, at least one sample frame), configures the encoder, encodes frame by frame with a progress event and a
// cancel check every 16 frames, and reports exactly one final event: 15 after a complete
// or cancelled encode (the output is ended properly either way), else the failure.
// With mono (or a one-channel input) the constant rate is halved and rounded up to a mono
// table entry. A fault inside
// the library is caught: kind 10 while starting, kind 11 with the fault code afterwards.
void EncodeMp3File(const std::string& inputPath, const std::string& outputPath, const Mp3EncodeOptions& options,
                   void* record, CodecStatusCallback callback);

// The constant bit rate given to the encoder for a mono encode of `bitRate` kbit/s: half of
// it, raised to the first entry of the MPEG-2 mono table (below 32000 Hz or with MPEG-2) or
// of the MPEG-1 mono table that is not below the half; the half itself when none is.
int MonoBitRate(int bitRate, bool mpeg2Table);
