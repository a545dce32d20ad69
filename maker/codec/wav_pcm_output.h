// The WAV output of the decoders that hand out 16-bit PCM (Ogg Vorbis, Opus): a placeholder
// header first, the samples, then the real header with the bytes written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "maker/codec/codec_event.h"
#include "maker/codec/codec_file.h"

// The warning of a decode that skipped `gaps` damaged stretches of its input (gaps > 0).
std::string SkippedGapsWarning(int gaps);

class WavPcmOutput {
 public:
  // Creates (or truncates) the file and writes the placeholder header: CannotCreateOutput
  // with errno, CannotWriteOutput, or Finished.
  CodecOutcome Create(const std::string& path);

  // Appends interleaved samples; false when the file refuses them.
  bool Write(const int16_t* samples, size_t count);
  uint64_t BytesWritten() const { return bytes_; }
  // True once another second of audio (at `bytesPerSecond`) has been written since the
  // last time it answered true: the moment for a progress event.
  bool SecondPassed(uint64_t bytesPerSecond);

  // Rewrites the header with the bytes written and closes the file: false when either fails.
  bool Finish(bool mono, uint32_t sampleRate);

 private:
  CodecFile file_;
  uint64_t bytes_ = 0;
  uint64_t reportedBytes_ = 0;
};
