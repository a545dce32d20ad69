// What the adapters over libavformat and libavcodec share: owners of their objects, a
// quiet library log whose errors a thread can collect, and error texts.
#pragma once

#include <memory>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwrContext;

struct AvCodecContextFree {
  void operator()(AVCodecContext* context) const;
};
struct AvFrameFree {
  void operator()(AVFrame* frame) const;
};
struct AvPacketFree {
  void operator()(AVPacket* packet) const;
};
// An input opened with avformat_open_input (closed with avformat_close_input).
struct AvInputClose {
  void operator()(AVFormatContext* context) const;
};
// An output made with avformat_alloc_output_context2; its I/O context is owned apart.
struct AvOutputFree {
  void operator()(AVFormatContext* context) const;
};
// An I/O context from avio_alloc_context, with the buffer it holds at the time.
struct AvIoContextFree {
  void operator()(AVIOContext* context) const;
};
struct SwrFree {
  void operator()(SwrContext* context) const;
};

using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextFree>;
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using AvInputPtr = std::unique_ptr<AVFormatContext, AvInputClose>;
using AvOutputPtr = std::unique_ptr<AVFormatContext, AvOutputFree>;
using AvIoContextPtr = std::unique_ptr<AVIOContext, AvIoContextFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;

// Silences the libraries' own log on stderr (the maker reports through its events
// instead), unless the host program chose a level of its own, and routes every message
// through a handler that hands errors to the LibavErrorCapture of the thread that caused
// them. Idempotent; every adapter calls it before its first library call.
void QuietLibavLog();

// Collects the first error the libraries log on this thread while the object lives (the
// reason a call failed, as "moov atom not found" behind a bare "Invalid data found").
// Captures nest: the innermost one collects.
class LibavErrorCapture {
 public:
  LibavErrorCapture();
  ~LibavErrorCapture();
  LibavErrorCapture(const LibavErrorCapture&) = delete;
  LibavErrorCapture& operator=(const LibavErrorCapture&) = delete;

  // The first error line logged so far, without its line end; "" when none.
  const std::string& FirstError() const { return first_; }
  void Record(const std::string& line);
  // Forgets what was collected: an error the caller has dealt with.
  void Clear() { first_.clear(); }

 private:
  LibavErrorCapture* outer_;
  std::string first_;
};

// What went wrong in words: the first logged error when there is one, else the text of
// the error code ("Invalid data found when processing input").
std::string LibavErrorText(int averror, const LibavErrorCapture& capture);
