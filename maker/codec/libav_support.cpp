// Owners of libav objects, the quiet library log and its per-thread error capture.
#include "maker/codec/libav_support.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <cstdarg>
#include <mutex>

void AvCodecContextFree::operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
void AvFrameFree::operator()(AVFrame* frame) const { av_frame_free(&frame); }
void AvPacketFree::operator()(AVPacket* packet) const { av_packet_free(&packet); }
void AvInputClose::operator()(AVFormatContext* context) const { avformat_close_input(&context); }
void AvOutputFree::operator()(AVFormatContext* context) const { avformat_free_context(context); }
void AvIoContextFree::operator()(AVIOContext* context) const {
  // The library may have replaced the buffer it was given; it frees neither.
  av_freep(&context->buffer);
  avio_context_free(&context);
}
void SwrFree::operator()(SwrContext* context) const { swr_free(&context); }

namespace {

thread_local LibavErrorCapture* tCapture = nullptr;

void LogHandler(void* object, int level, const char* format, va_list args) {
  if (level <= AV_LOG_ERROR && tCapture != nullptr && tCapture->FirstError().empty()) {
    char line[512];
    int printPrefix = 0;  // the text alone, without the "[mov,mp4,... @ 0x...]" context
    va_list copy;
    va_copy(copy, args);
    av_log_format_line2(object, level, format, copy, line, sizeof line, &printPrefix);
    va_end(copy);
    tCapture->Record(line);
  }
  // The default handler writes what the level lets through, which is nothing unless the
  // host asked for it.
  av_log_default_callback(object, level, format, args);
}

}  // namespace

void QuietLibavLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_QUIET);
    av_log_set_callback(LogHandler);
  });
}

LibavErrorCapture::LibavErrorCapture() : outer_(tCapture) { tCapture = this; }

LibavErrorCapture::~LibavErrorCapture() { tCapture = outer_; }

void LibavErrorCapture::Record(const std::string& line) {
  if (!first_.empty()) return;
  size_t end = line.size();
  while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r' || line[end - 1] == ' ')) --end;
  first_ = line.substr(0, end);
}

std::string LibavErrorText(int averror, const LibavErrorCapture& capture) {
  if (!capture.FirstError().empty()) return capture.FirstError();
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (av_strerror(averror, text, sizeof text) < 0) return "error " + std::to_string(averror);
  return text;
}
