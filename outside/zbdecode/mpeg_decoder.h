// MPEG audio decoding over libmpg123, one frame per call, from an InputSource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <vector>

#include "common/error.h"
#include "outside/zbdecode/input_source.h"
#include "outside/zbdecode/input_tail.h"
#include "outside/zbdecode/mpeg_sync_search.h"

enum class MpegFrameStatus {
  Frame,       // samples are ready
  NoFrameYet,  // nothing this time (still looking for the first frame, format announced,
               // delay trimmed): call again
  Skipped,     // a frame in another format than the stream's first was dropped: call again
  End,         // the input is exhausted
  ReadError,   // the input module failed
  DecodeError, // the stream cannot be decoded further
};

struct MpegFrame {
  const int16_t* pcm = nullptr;  // owned by the decoder, valid until the next call
  size_t bytes = 0;
  int channels = 0;
  uint32_t sampleRate = 0;
};

// Facts of the last frame read from the stream.
struct MpegFrameInfo {
  uint32_t mpegVersion = 0;  // 1, 2, or 3 for MPEG-2.5
  uint32_t layer = 0;
  uint32_t bitRate = 0;      // kbit/s
  uint32_t sampleRate = 0;
  uint32_t channelMode = 0;  // 0 stereo, 1 joint, 2 dual, 3 mono
  uint32_t variableRate = 0; // 0 constant, 1 variable, 2 average
  uint32_t frameBytes = 0;
};

struct Mpg123HandleDeleter {
  void operator()(struct mpg123_handle_struct* handle) const;
};

// The facts of the last frame the library read through handle (all zero before one).
MpegFrameInfo FrameInfoOf(struct mpg123_handle_struct* handle);

class MpegDecoder {
 public:
  // Starts decoding source with the library's default settings (gapless trimming,
  // resync), output fixed to signed 16-bit at the stream's own rate and channel count,
  // which the first frame sets for the whole stream.
  // The first calls of DecodeFrame look for that first frame (MpegSyncSearch), a piece of
  // the input each, so that a long run of junk can be cancelled between them; the
  // library then reads the input from that frame on. An input without a chain of frames
  // ends without audio, however lenient the library would have been with it.
  // source must stay alive and in place for the decoder's life.
  // Fails with an Io error (ENOMEM) when memory runs out, and an Unsupported one when the
  // decoder library refuses to start.
  static Expected<std::unique_ptr<MpegDecoder>> Open(InputSource& source);

  MpegFrameStatus DecodeFrame(MpegFrame& frame);
  MpegFrameInfo Info() const;
  // Byte position the decoder has reached in the input, or -1.
  int64_t InputPosition() const;

 private:
  MpegFrameStatus SearchFirstFrame();

  // Declared before the handle, which reads from it, so that the handle goes first.
  std::unique_ptr<InputTail> tail_;  // set once the first frame is found
  std::unique_ptr<struct mpg123_handle_struct, Mpg123HandleDeleter> handle_;
  InputSource* source_ = nullptr;
  MpegSyncSearch sync_;
  std::vector<uint8_t> searchChunk_;
  int channels_ = 0;           // format of the first frame: the stream's format
  uint32_t sampleRate_ = 0;
  int currentChannels_ = 0;    // format of the frames now coming
  uint32_t currentRate_ = 0;
};
