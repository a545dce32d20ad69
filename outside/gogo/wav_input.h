// Reading the 16-bit PCM audio of a RIFF/WAVE file block by block.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "common/error.h"
#include "common/unique_fd.h"

// What went wrong, attached to each Error of WavInput (the encoder maps it to its codes).
enum class WavInputFault {
  Open,    // the file cannot be opened
  Format,  // not RIFF/WAVE, or no usable fmt/data chunk
  Unsupported,  // a format other than 16-bit PCM with one or two channels
  Read,    // a read failed or the file ended early
};

struct WavInputFormat {
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint64_t dataOffset = 0;  // file offset of the first sample byte
  uint64_t frames = 0;      // audio frames (one sample per channel) the file really holds
};

// An open WAV file positioned at its samples. Move-only; closes the file when it goes.
class WavInput {
 public:
  WavInput() = default;

  // Opens path (RIFF or RF64) and walks its chunks. The audio is the data chunk, whose
  // size an RF64 file gives in its ds64 chunk; when the chunk claims more than the file
  // holds, or claims 0 or 0xFFFFFFFF bytes without a ds64 size (a header never rewritten
  // after recording), it is everything from the data start to the end of the file.
  // Accepts format tag 1 (PCM) and the extensible format with the PCM sub-format.
  // Fails with an Io error (open, read), or a Format or Unsupported one at the byte of the
  // chunk concerned; the WavInputFault is attached.
  static Expected<WavInput> Open(const std::string& path);

  const WavInputFormat& Format() const { return format_; }
  uint64_t FramesLeft() const { return format_.frames - framesRead_; }

  // Reads exactly `frames` frames (at most FramesLeft()) of interleaved samples into
  // pcm, converting from little-endian. Fails when the file gives fewer bytes.
  Outcome Read(int16_t* pcm, uint64_t frames);

  // True when path names this very file (same device and inode), so that creating the
  // output there would destroy the input.
  bool SameFileAs(const std::string& path) const;

 private:
  WavInput(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  UniqueFd fd_;
  std::string path_;
  WavInputFormat format_;
  uint64_t framesRead_ = 0;
};
