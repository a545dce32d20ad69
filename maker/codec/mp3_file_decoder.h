// The MP3 path of the decoding thread: MPEG audio to 16-bit PCM WAV through libzbdecode.so.
#pragma once

#include <string>

#include "common/error.h"
#include "maker/codec/codec_record.h"

// Values of the decoder error flag after an MP3 decode (0 = success): what the job keeps
// and shows (Mp3DecoderErrorFlag gives it for an outcome).
enum Mp3DecodeError : int {
  kMp3DecodeOk = 0,
  kMp3DecodeLibrary = 1,         // library, its functions or the decoder could not be made
  kMp3DecodeInputProcessor = 2,  // no input processor for the input
  kMp3DecodeInputOpen = 3,       // the input could not be opened or read
  kMp3DecodeOutput = 4,          // the output could not be created
  kMp3DecodeWrite = 5,           // the output could not be written (full disk)
  kMp3DecodeNoAudio = 6,         // the input ran to its end without one MPEG audio frame
};

// What ended an MP3 decode in failure, attached to its Error.
enum class Mp3DecodeFault {
  Library,         // library, its functions or the decoder could not be made (Unsupported)
  InputProcessor,  // no input processor for the input (Unsupported)
  InputOpen,       // the input could not be opened or read (Io)
  Output,          // the output could not be created (Io)
  Write,           // the output could not be written (Io)
  NoAudio,         // the input ran to its end without one MPEG audio frame (Format)
};

// The decoder error flag of a decode: kMp3DecodeOk, or the value of its fault.
int Mp3DecoderErrorFlag(const Outcome& outcome);

// Runs on the decoding thread. Logs its failures itself (lines without leading blanks),
// shows " MP3 Decoder: N%, <output>" in the status panel under the two-second rule, stops
// when job.StopRequested(), and rewrites the WAV header with the bytes actually written on
// every path after the decoder ran, so a cancelled or failed decode leaves a valid WAV.
// The header is WriteWavHeader64's: plain RIFF, or RF64 once the audio outgrows 4 GiB.
// An input that ends without giving audio (not cancelled) is an error. A failure's text is
// the line it logged ("Error: cannot write to output file.").
Outcome DecodeMp3File(const std::string& inputPath, const std::string& outputPath, CodecRecord& job);
