// DecodeAacFile: AAC file to 16-bit PCM WAV through the project's own AAC library.
#pragma once

#include <string>

#include "maker/codec/codec_event.h"

// Loads libzbaaclib.so by name ("zbaaclib"), decodes inputPath into a WAV at outputPath and
// unloads it again. Reports progress (kind 14, output bytes so far) after every 16th block
// and exactly one final event: 15 when nothing failed (a cancel included), else the
// failure (0 library, 2 create, 3 write, 10 open fault, 11 decode fault, 12 memory). At the
// end of the blocks the library's own verdict decides (AACDecoder_Report, as zbaacdec
// takes it): no AAC audio, too large a share that did not decode, or an input that could
// not be read is kind 11 with a detail; a small loss (damaged frames skipped, trailing
// data) is a success with a warning event (kind 16) before the final one. The WAV header
// (WriteWavHeader64: RIFF, or RF64 past 4 GiB) is rewritten with the bytes written whatever
// ended the run, so a cancelled or failed decode leaves a valid WAV of what was decoded.
void DecodeAacFile(const std::string& inputPath, const std::string& outputPath, void* record,
                   CodecStatusCallback callback);
