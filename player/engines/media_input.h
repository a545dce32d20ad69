// MediaInput: one audio input opened through libavformat (a local file, or an HTTP(S)
// stream) with the decoder of its best audio stream, cut short at once when the worker
// reading it is asked to end, and given up with an error when a server stops sending.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "common/error.h"
#include "common/tags/audio_file_format.h"
#include "common/unique_fd.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

struct FormatContextCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

// A server that sends nothing for this long ends the playback with an error.
inline constexpr std::chrono::seconds kMediaStallTimeout{8};

// True for an http:// or https:// name (any case).
bool IsHttpUrl(const std::string& name);

class MediaInput {
 public:
  // Opens name: an http:// or https:// URL through libavformat's own protocols (only
  // those), read as Ogg (as FLAC when its path ends in ".flac"); anything else as a
  // regular file (looked at first, so that a FIFO cannot hold the caller; then read
  // through the file protocol only, so that a play list or reference file cannot make it
  // fetch anything else) with the demuxer of the format its first bytes show. cancel is
  // polled while the input blocks (connect, reads): once it is set every call
  // returns at once with an error. The error's text is "Cannot play NAME: <reason>" in
  // words for the user (no audio stream, no decoder, unreadable, refused by the server,
  // the server stopped sending).
  static Expected<std::unique_ptr<MediaInput>> Open(const std::string& name,
                                                    const std::atomic<bool>& cancel);
  ~MediaInput();
  MediaInput(const MediaInput&) = delete;
  MediaInput& operator=(const MediaInput&) = delete;

  // What the file's first bytes show (Unknown for a URL).
  AudioFileFormat Sniffed() const { return sniffed_; }
  // True when the decoder leaves the encoder's delay and padding in its frames (an Ogg
  // Vorbis file): the caller drops the delay each frame states and cuts the stream at
  // TotalFrames itself.
  bool TrimsManually() const { return trimsManually_; }
  AVFormatContext* Format() const { return format_.get(); }
  AVStream* Stream() const { return format_->streams[streamIndex_]; }
  int StreamIndex() const { return streamIndex_; }
  AVCodecContext* Decoder() const { return decoder_.get(); }
  // Whether libavformat can seek in it (a file, a server that takes ranges).
  bool Seekable() const;
  // True for a stream over the network that states no length (a live stream).
  bool Live() const { return url_ && !Seekable(); }
  // The length in frames (sample periods) at the stream's rate; 0 when unknown or live.
  uint64_t TotalFrames() const;
  // The bit rate in bit/s: the stream's, else the container's; 0 when unknown.
  int64_t BitRate() const;

  // "Cannot play NAME: <reason>" for an error code of libavformat or libavcodec met while
  // reading or decoding.
  std::string ErrorText(int averror) const;

 private:
  MediaInput(std::string name, bool url, const std::atomic<bool>& cancel);
  static int Interrupt(void* self);

  std::string name_;
  bool url_;
  AudioFileFormat sniffed_ = AudioFileFormat::Unknown;
  bool trimsManually_ = false;
  UniqueFd file_;  // the file looked at, held while libavformat reads it
  const std::atomic<bool>& cancel_;
  std::unique_ptr<AVFormatContext, FormatContextCloser> format_;
  std::unique_ptr<AVCodecContext, CodecContextFreer> decoder_;
  int streamIndex_ = -1;
};

// The reason (no "Cannot play" before it) an error code of libavformat or libavcodec
// stands for, in words for the user.
std::string MediaErrorReason(int averror, bool url);
