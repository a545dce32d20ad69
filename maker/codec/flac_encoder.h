// EncodeFlacFile: WAV to FLAC through libFLAC (bit-exact, with the audio's MD5 signature).
#pragma once

#include <string>

#include "maker/codec/codec_event.h"

// How one FLAC encode is configured.
struct FlacEncodeOptions {
  int level = 5;        // compression level 0..8
  bool verify = true;   // the encoder decodes what it wrote and compares it with the input
};

// Checks the WAV (CheckEncoderInput: 16-bit PCM at an accepted rate, one or two channels
// kept as they are), encodes its data chunk to outputPath with a progress event (kind 14,
// hundredths of a percent) and a cancel check at least every second of audio, and reports
// exactly one final event: 15 when the file is complete (a cancel included: the output then
// ends where the input stopped being read), else the failure (1 open, 2 create, 3 write,
// 4 read, 5/6/8 input, 10 the encoder refused its settings, 11 with a detail when it
// failed on the audio, 12 memory). Calls into the library run under the fault guard.
void EncodeFlacFile(const std::string& inputPath, const std::string& outputPath, const FlacEncodeOptions& options,
                    void* record, CodecStatusCallback callback);
