// EncodeOpusFile: WAV to Ogg Opus through libopusenc (any input rate, resampled to 48 kHz).
#pragma once

#include <string>

#include "maker/codec/codec_event.h"

// How one Opus encode is configured.
struct OpusEncodeOptions {
  int bitRate = 160;  // kbit/s for a stereo input (variable bit rate)
};

// Checks the WAV (CheckEncoderInput: 16-bit PCM at an accepted rate, one or two channels
// kept as they are), encodes its data chunk to outputPath with a progress event (kind 14,
// hundredths of a percent) and a cancel check at least every second of audio, and reports
// exactly one final event: 15 when the file is complete (a cancel included: the output then
// ends where the input stopped being read), else the failure (1 open, 2 create, 3 write,
// 4 read, 5/6/8 input, 10 the encoder refused its settings, 11 with a detail when it
// failed on the audio, 12 memory). Calls into the library run under the fault guard.
void EncodeOpusFile(const std::string& inputPath, const std::string& outputPath, const OpusEncodeOptions& options,
                    void* record, CodecStatusCallback callback);
