// The WAV input of the encoders that take 16-bit PCM in blocks of sample frames (Ogg Vorbis, Opus).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/wav_header.h"
#include "maker/codec/codec_event.h"
#include "maker/codec/codec_file.h"

class WavPcmInput {
 public:
  // Opens the file and checks its header before any output exists: CannotOpenInput,
  // InvalidWavHeader, CheckEncoderInput's refusals, and CodecFailed with a detail for more
  // than two channels (their order differs between WAV and the Ogg formats); Finished when
  // the input is accepted. The file is then at its first sample byte.
  CodecOutcome Open(const std::string& path);

  uint16_t Channels() const { return wav_.channels; }
  uint32_t SampleRate() const { return wav_.sampleRate; }

  // Reads up to `frames` sample frames of the data chunk into `samples` (interleaved,
  // resized to hold them). Returns the frames read, 0 at the end of the data chunk (a
  // partial frame at its end is dropped), -1 when a read fails.
  int64_t Read(std::vector<int16_t>& samples, size_t frames);

  // The share of the data chunk read so far, in hundredths of a percent (0..10000).
  int32_t Progress() const;

 private:
  CodecFile file_;
  WavFormatInfo wav_;
  uint64_t bytesRead_ = 0;
};
