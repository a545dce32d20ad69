// DecodeOpusFile: Ogg Opus to WAV at 48 kHz through libopusfile (pre-skip removed).
#pragma once

#include <string>

#include "maker/codec/codec_event.h"

// Decodes inputPath into a 16-bit PCM WAV at outputPath (one or two channels as the file
// has them; more are mixed down to two). Reports progress (kind 14, output bytes so far) at least
// every second of audio and exactly one final event: 15 when nothing failed (a cancel
// included), else the failure as a kind the decoder callback shows (2 create, 3 write,
// 10 the file is not of the format or cannot be opened, 11 with a detail for damaged
// audio, 12 memory). The WAV header (WriteWavHeader64) is rewritten with the bytes
// written whatever ended the run.
void DecodeOpusFile(const std::string& inputPath, const std::string& outputPath, void* record,
                    CodecStatusCallback callback);
