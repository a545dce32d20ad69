// DecodeM4aFile: AAC or ALAC audio in MP4 (.m4a) to WAV through libavformat and libavcodec
// (encoder delay and padding removed as the container's edit list says).
#pragma once

#include <string>

#include "maker/codec/codec_event.h"

// Decodes inputPath into a 16-bit PCM WAV at outputPath (one or two channels as the file
// has them; more are refused). Reports progress (kind 14, output bytes so far) at least
// every second of audio and exactly one final event: 15 when nothing failed (a cancel
// included), else the failure as a kind the decoder callback shows (2 create, 3 write,
// 10 the libraries lack the MP4 demuxer or the decoder, 12 memory, 11 with a detail for
// everything about the file: not MP4 or not readable, no AAC or ALAC audio, more than two
// channels, cut short, too damaged). Frames the decoder refuses are left out, as ffmpeg
// leaves them out; up to one in 20 is a success with a warning event (kind 16) before the
// final one. The WAV header (WriteWavHeader64) is rewritten with the bytes written
// whatever ended the run.
void DecodeM4aFile(const std::string& inputPath, const std::string& outputPath, void* record,
                   CodecStatusCallback callback);
