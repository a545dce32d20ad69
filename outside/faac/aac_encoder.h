// AAC encoding of 16-bit PCM into raw data blocks over libavcodec's native encoder.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/error.h"

struct AacEncoderSettings {
  int channels = 2;         // 1 or 2
  int sampleRate = 44100;   // Hz, a rate with an AAC sampling index
  int64_t bitRate = 0;      // bits per second, all channels; 0 = the encoder's default
  int cutoffHz = 0;         // bandwidth limit; 0 or >= sampleRate / 2 = the encoder's choice
  bool midSide = true;      // allow mid/side coding where it pays
  bool pns = false;
  bool tns = false;
  bool ltp = false;         // long-term prediction object type instead of low complexity
  bool intensityStereo = false;
};

// What failed, attached to each Error of the encoder: the library's exports map it to
// their result codes.
enum class AacEncoderFault {
  Unsupported,  // settings the encoder cannot take
  Memory,
  Encoder,      // the encoder failed on a frame
};

struct AvCodecContextDeleter {
  void operator()(struct AVCodecContext* context) const;
};
struct AvFrameDeleter {
  void operator()(struct AVFrame* frame) const;
};
struct AvPacketDeleter {
  void operator()(struct AVPacket* packet) const;
};

using AacBlocks = std::vector<std::vector<uint8_t>>;

class AacEncoder {
 public:
  static constexpr int kFrameFrames = 1024;  // frames (samples per channel) per block

  static Expected<std::unique_ptr<AacEncoder>> Create(const AacEncoderSettings& settings);

  // The AAC object type the blocks use: 2 low complexity, 4 long-term prediction.
  int ObjectType() const { return objectType_; }
  // Silent frames the encoder puts before the first input sample.
  int DelayFrames() const;

  // Encodes one frame of interleaved samples: kFrameFrames frames, fewer only for the
  // last one. Appends the raw data blocks that became ready to blocks.
  Outcome Encode(const int16_t* pcm, int frames, AacBlocks& blocks);
  // Ends the stream: appends every block still held back by the encoder's look-ahead.
  // Encode may not be called afterwards.
  Outcome Flush(AacBlocks& blocks);

 private:
  Outcome Drain(AacBlocks& blocks);

  std::unique_ptr<AVCodecContext, AvCodecContextDeleter> context_;
  std::unique_ptr<AVFrame, AvFrameDeleter> frame_;
  std::unique_ptr<AVPacket, AvPacketDeleter> packet_;
  int channels_ = 0;
  int objectType_ = 2;
  bool flushed_ = false;
};
