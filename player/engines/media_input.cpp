// MediaInput: libavformat's input with the decoder of its audio stream.
#include "player/engines/media_input.h"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "common/regular_file.h"

namespace {

struct DictionaryFreer {
  void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};

// The demuxer for what a file's first bytes show; "" lets libavformat probe.
const char* DemuxerFor(AudioFileFormat format) {
  switch (format) {
    case AudioFileFormat::Flac:
      return "flac";
    case AudioFileFormat::OggVorbis:
    case AudioFileFormat::Opus:
      return "ogg";
    case AudioFileFormat::M4a:
      return "mov";
    case AudioFileFormat::Unknown:
    case AudioFileFormat::Wav:
    case AudioFileFormat::Mp3:
    case AudioFileFormat::Aac:
      break;
  }
  return "";
}

// The path of a URL (before any query or fragment) ends in suffix, in any case.
bool UrlPathEndsWith(const std::string& url, const char* suffix) {
  const std::string path = url.substr(0, url.find_first_of("?#"));
  const size_t n = std::strlen(suffix);
  return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, suffix) == 0;
}

}  // namespace

bool IsHttpUrl(const std::string& name) {
  return strncasecmp(name.c_str(), "http://", 7) == 0 || strncasecmp(name.c_str(), "https://", 8) == 0;
}

std::string MediaErrorReason(int averror, bool url) {
  switch (averror) {
    case AVERROR_EOF:
      return url ? "the server ended the stream before any audio" : "it ends before any audio";
    case AVERROR_INVALIDDATA:
      return url ? "the server sent no audio this player can read" : "it is damaged or not audio this player can read";
    case AVERROR_STREAM_NOT_FOUND:
      return "it holds no audio stream";
    case AVERROR_DECODER_NOT_FOUND:
      return "there is no decoder for its audio";
    case AVERROR_DEMUXER_NOT_FOUND:
      return "there is no reader for its format";
    case AVERROR_PROTOCOL_NOT_FOUND:
      return "this kind of address is not supported";
    case AVERROR_HTTP_NOT_FOUND:
      return "the server has no such stream (HTTP 404)";
    case AVERROR_HTTP_UNAUTHORIZED:
    case AVERROR_HTTP_FORBIDDEN:
      return "the server refused access to it";
    case AVERROR_HTTP_BAD_REQUEST:
    case AVERROR_HTTP_OTHER_4XX:
      return "the server refused the request";
    case AVERROR_HTTP_SERVER_ERROR:
      return "the server failed to send it (server error)";
    case AVERROR_EXIT:
      return "stopped";
    case AVERROR(ETIMEDOUT):
    case AVERROR(EAGAIN):
      return url ? "the server stopped sending" : "reading it timed out";
    case AVERROR(ECONNREFUSED):
      return "the server refused the connection";
    case AVERROR(ECONNRESET):
    case AVERROR(EPIPE):
      return "the server broke off the connection";
    default:
      break;
  }
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(averror, text, sizeof text);
  return text;
}

MediaInput::MediaInput(std::string name, bool url, const std::atomic<bool>& cancel)
    : name_(std::move(name)), url_(url), cancel_(cancel) {}

MediaInput::~MediaInput() = default;

int MediaInput::Interrupt(void* self) { return static_cast<MediaInput*>(self)->cancel_.load() ? 1 : 0; }

Expected<std::unique_ptr<MediaInput>> MediaInput::Open(const std::string& name, const std::atomic<bool>& cancel) {
  // The libraries' own warnings (a comment header's spare bytes, a damaged packet) would
  // reach the terminal the player was started from; the engine reports what matters in
  // words for the user. A level the program was asked for elsewhere is kept.
  static std::once_flag quiet;
  std::call_once(quiet, [] {
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_QUIET);
  });
  const bool url = IsHttpUrl(name);
  std::unique_ptr<MediaInput> input(new MediaInput(name, url, cancel));
  auto fail = [&](ErrorCategory category, const std::string& reason) {
    std::string text = "Cannot play ";
    text += name;
    text += ": ";
    text += reason;
    return Fail(Error(category, {}, std::move(text), reason, name));
  };
  std::string location;
  const char* demuxer = "";
  AVDictionary* rawOptions = nullptr;
  if (url) {
    location = name;
    demuxer = UrlPathEndsWith(name, ".flac") ? "flac" : "ogg";
    av_dict_set(&rawOptions, "protocol_whitelist", "http,https,tcp,tls", 0);
    // A server that sends nothing for this long ends the read with ETIMEDOUT (the
    // interrupt callback cuts it short sooner when the worker is asked to end).
    const std::string timeout = std::to_string(std::chrono::microseconds(kMediaStallTimeout).count());
    av_dict_set(&rawOptions, "rw_timeout", timeout.c_str(), 0);
    av_dict_set(&rawOptions, "timeout", timeout.c_str(), 0);
    av_dict_set(&rawOptions, "reconnect", "0", 0);
    av_dict_set(&rawOptions, "tls_verify", "1", 0);
  } else {
    auto opened = OpenRegularFile(name);
    if (!opened) return fail(opened.Error().category, opened.Error().reason);
    input->file_ = std::move(opened).Value();
    input->sniffed_ = SniffAudioFdFormat(input->file_.Get());
    demuxer = DemuxerFor(input->sniffed_);
    // libavformat opens the very file looked at: a FIFO or device put in its place
    // meanwhile is never opened. The name itself where /proc is not there.
    const std::string own = "/proc/self/fd/" + std::to_string(input->file_.Get());
    location = "file:";
    location += ::access(own.c_str(), R_OK) == 0 ? own : name;
    av_dict_set(&rawOptions, "protocol_whitelist", "file", 0);
  }
  std::unique_ptr<AVDictionary, DictionaryFreer> options(rawOptions);

  AVFormatContext* format = avformat_alloc_context();
  if (format == nullptr) return fail(ErrorCategory::Io, "out of memory");
  format->interrupt_callback = {&MediaInput::Interrupt, input.get()};
  const AVInputFormat* forced = *demuxer != '\0' ? av_find_input_format(demuxer) : nullptr;
  rawOptions = options.release();
  int result = avformat_open_input(&format, location.c_str(), forced, &rawOptions);
  options.reset(rawOptions);
  // While it opens, a server that says nothing has not answered (rather than stopped).
  auto openReason = [url](int averror) {
    return url && averror == AVERROR(ETIMEDOUT) ? std::string("the server did not answer in time")
                                                : MediaErrorReason(averror, url);
  };
  // On failure avformat_open_input has freed the context.
  if (result < 0) return fail(url ? ErrorCategory::Network : ErrorCategory::Format, openReason(result));
  input->format_.reset(format);
  if (cancel) return fail(ErrorCategory::Cancelled, "stopped");

  result = avformat_find_stream_info(format, nullptr);
  if (result < 0) return fail(url ? ErrorCategory::Network : ErrorCategory::Format, openReason(result));
  const AVCodec* codec = nullptr;
  result = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (result < 0) return fail(ErrorCategory::Unsupported, MediaErrorReason(result, url));
  input->streamIndex_ = result;
  // Cover art and other streams are not read past.
  for (unsigned k = 0; k < format->nb_streams; ++k) {
    if (int(k) != input->streamIndex_) format->streams[k]->discard = AVDISCARD_ALL;
  }
  AVStream* stream = format->streams[input->streamIndex_];
  input->decoder_.reset(avcodec_alloc_context3(codec));
  if (!input->decoder_) return fail(ErrorCategory::Io, "out of memory");
  result = avcodec_parameters_to_context(input->decoder_.get(), stream->codecpar);
  if (result < 0) return fail(ErrorCategory::Unsupported, MediaErrorReason(result, url));
  input->decoder_->pkt_timebase = stream->time_base;
  // libavformat's end trim of an Ogg Vorbis file is off by up to a block either way (it
  // cuts audio the last page holds, or leaves the block's padding in), which a gapless
  // join would hear; the length the last page's granule position states is exact.
  if (input->sniffed_ == AudioFileFormat::OggVorbis && stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    input->decoder_->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
    input->trimsManually_ = true;
  }
  result = avcodec_open2(input->decoder_.get(), codec, nullptr);
  if (result < 0) {
    std::string reason = "its ";
    reason += codec->long_name != nullptr ? codec->long_name : codec->name;
    reason += " audio cannot be decoded (";
    reason += MediaErrorReason(result, url);
    reason += ")";
    return fail(ErrorCategory::Unsupported, reason);
  }
  if (input->decoder_->sample_rate <= 0 || input->decoder_->ch_layout.nb_channels <= 0) {
    return fail(ErrorCategory::Format, "its audio states no sample rate or channels");
  }
  return input;
}

bool MediaInput::Seekable() const {
  return format_->pb != nullptr && (format_->pb->seekable & AVIO_SEEKABLE_NORMAL) != 0;
}

uint64_t MediaInput::TotalFrames() const {
  if (Live()) return 0;
  const int rate = decoder_->sample_rate;
  const AVStream* stream = Stream();
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    return uint64_t(av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate}));
  }
  if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
    return uint64_t(av_rescale_q(format_->duration, AVRational{1, AV_TIME_BASE}, AVRational{1, rate}));
  }
  return 0;
}

int64_t MediaInput::BitRate() const {
  if (Stream()->codecpar->bit_rate > 0) return Stream()->codecpar->bit_rate;
  return format_->bit_rate > 0 ? format_->bit_rate : 0;
}

std::string MediaInput::ErrorText(int averror) const {
  std::string text = "Cannot play ";
  text += name_;
  text += ": ";
  text += MediaErrorReason(averror, url_);
  return text;
}
