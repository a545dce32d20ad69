// One WAV-to-MP3 encode over libmp3lame, driven block by block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/error.h"
#include "outside/gogo/mp3_output_file.h"
#include "outside/gogo/wav_input.h"

struct Mp3EncoderSettings {
  std::string inputPath;
  std::string outputPath;
  int channelMode = -1;     // 0 mono, 1 stereo, 2 joint stereo; -1 = by the input
  int bitRateKbps = 128;    // constant rate, or the VBR floor when vbrQuality >= 0
  int outputRate = 0;       // Hz; 0 = the input's rate
  bool highQuality = true;  // false = fast mode
  bool errorProtection = false;
  int vbrQuality = -1;      // 0..9 = variable bit rate, -1 = constant
};

// What failed, attached to each Error of the encoder: the library's exports map it to
// their result codes.
enum class Mp3EncoderFault {
  InputOpen,
  InputFormat,
  InputRead,
  OutputOpen,
  OutputWrite,
  Encoder,
  Memory,
};

struct LameDeleter {
  void operator()(void* flags) const;
};

class Mp3Encoder {
 public:
  // Opens and checks the input, configures the encoder, then creates the output.
  // Nothing stays open on failure; the output is not created when the input or the
  // configuration is refused, nor when it names the input file itself.
  static Expected<std::unique_ptr<Mp3Encoder>> Start(const Mp3EncoderSettings& settings);

  // How many EncodeNextBlock calls will return true: one per block of input frames, a
  // block being the input frames of one MP3 frame.
  uint32_t TotalBlocks() const { return totalBlocks_; }
  uint16_t InputChannels() const { return input_.Format().channels; }
  uint32_t InputRate() const { return input_.Format().sampleRate; }

  // Encodes the next block: true = done one, false = the input is exhausted.
  Expected<bool> EncodeNextBlock();

  // Flushes the encoder, writes the info tag into the first frame and closes the output.
  // Valid after any number of blocks. Further calls fail.
  Outcome Finish();

 private:
  Mp3EncoderSettings settings_;
  WavInput input_;
  std::unique_ptr<void, LameDeleter> lame_;
  Mp3OutputFile output_;
  bool monoToStereo_ = false;  // a mono input encoded into two channels
  bool finished_ = false;
  uint64_t blockFrames_ = 0;
  uint32_t totalBlocks_ = 0;
  uint32_t blocksDone_ = 0;
  std::vector<int16_t> pcm_;
  std::vector<unsigned char> mp3_;
};
