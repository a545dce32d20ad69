// PlaybackDecoder: libmpg123 reading through the file module or a StreamInput.
#include "outside/zbdecode/playback_decoder.h"

#include <mpg123.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <strings.h>

#include "common/outside_text.h"

namespace {

void InitMpg123Once() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

mpg123_ssize_t ReadFile(void* io, void* buffer, size_t bytes) {
  const uint32_t ask = bytes > 0x7FFFFFFF ? 0x7FFFFFFF : uint32_t(bytes);
  const int64_t got = static_cast<InputSource*>(io)->Read(buffer, ask);
  return got < 0 ? -1 : mpg123_ssize_t(got);
}

off_t SeekFile(void* io, off_t offset, int whence) {
  return off_t(static_cast<InputSource*>(io)->Seek(int64_t(offset), whence));
}

off_t SeekStream(void*, off_t, int) { return -1; }

bool IsUrl(const std::string& name) {
  for (const char* scheme : {"http://", "https://", "ftp://"}) {
    if (strncasecmp(name.c_str(), scheme, std::strlen(scheme)) == 0) return true;
  }
  return false;
}

// The StreamTitle='...'; field of an ICY metadata text.
std::optional<std::string> StreamTitleOf(const std::string& meta) {
  const std::string key = "StreamTitle='";
  const size_t start = meta.find(key);
  if (start == std::string::npos) return std::nullopt;
  const size_t from = start + key.size();
  size_t end = meta.find("';", from);
  if (end == std::string::npos) end = meta.rfind('\'');
  if (end == std::string::npos || end < from) return std::nullopt;
  return meta.substr(from, end - from);
}

// "30 seconds", "0.5 seconds".
std::string SecondsText(std::chrono::milliseconds limit) {
  char text[32];
  std::snprintf(text, sizeof text, "%g seconds", double(limit.count()) / 1000.0);
  return text;
}

}  // namespace

// The library's reads of a stream: the bytes of the StreamInput, until the stream has gone
// on for longer than its limit without a frame of audio. The search for the next frame
// header reads on through any junk (a station's stream may carry some); this limit ends
// it when nothing but junk comes.
struct PlaybackStreamReader {
  static mpg123_ssize_t Read(void* io, void* buffer, size_t bytes) {
    auto* d = static_cast<PlaybackDecoder*>(io);
    if (std::chrono::steady_clock::now() - d->lastAudio_ > d->noAudioLimit_) {
      d->stream_->EndWith("no audio for " + SecondsText(d->noAudioLimit_));
      return 0;
    }
    return mpg123_ssize_t(d->stream_->Read(buffer, bytes));
  }
};

double EqualizerFactor(int value) {
  if (value > 50) value = 50;
  if (value < -51) value = -51;
  const double db = value >= 0 ? 12.0 * value / 50.0 : 24.0 * value / 51.0;
  return std::pow(10.0, db / 20.0);
}

PlaybackDecoder::~PlaybackDecoder() {
  // The handle reads from the input: it goes first.
  handle_.reset();
}

Expected<std::unique_ptr<PlaybackDecoder>> PlaybackDecoder::Open(const std::string& name,
                                                                 const PlaybackOptions& options) {
  InitMpg123Once();
  std::unique_ptr<PlaybackDecoder> d(new PlaybackDecoder);
  d->name_ = name;
  // "Cannot play NAME: WHY": the file could not be opened (Io), it holds no MPEG audio
  // (Format), or the library would not start (Unsupported).
  auto cannot = [&name](ErrorCategory category, const std::string& why) {
    return Error(category, {}, "Cannot play " + name + ": " + why, why, name);
  };
  int error = MPG123_OK;
  d->handle_.reset(mpg123_new(nullptr, &error));
  mpg123_handle* mh = d->handle_.get();
  if (mh == nullptr) return Fail(cannot(ErrorCategory::Unsupported, mpg123_plain_strerror(error)));
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  // Gapless: the encoder delay and padding that the info frame (Xing/LAME) states are cut
  // off, so that the tracks of one recording join without a gap, and positions, lengths
  // and seeks count the trimmed samples. libmpg123 builds that have it default to it;
  // it is asked for here so that no build's other default changes what is heard.
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS, 0.0);
  if (options.downSample > 0) mpg123_param(mh, MPG123_DOWN_SAMPLE, options.downSample, 0.0);
  // Scaled in the synthesis, before the rounding to 16 bits, which clips what passes full
  // scale: finer than any volume step and no second pass over the samples.
  if (options.outputScale != 1.0) mpg123_param(mh, MPG123_OUTSCALE, 0, options.outputScale);
  // The stream's own rate and channel count, always 16-bit: no conversion.
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) {
    mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  }

  int opened = MPG123_ERR;
  if (IsUrl(name)) {
    auto stream = StreamInput::Open(name, options.stallLimit, options.stop);
    if (!stream) return Fail(stream.Error());
    d->stream_ = std::move(stream).Value();
    d->noAudioLimit_ = options.noAudioLimit;
    d->lastAudio_ = std::chrono::steady_clock::now();
    // The metadata interval must be known before the decoder opens the stream.
    if (d->stream_->IcyMetaInterval() > 0) mpg123_param(mh, MPG123_ICY_INTERVAL, d->stream_->IcyMetaInterval(), 0.0);
    // A stream searches on through junk for its next frame, however long; the no-audio
    // limit of the reader bounds the search in time instead.
    mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0.0);
    mpg123_replace_reader_handle(mh, PlaybackStreamReader::Read, SeekStream, nullptr);
    opened = mpg123_open_handle(mh, d.get());
  } else {
    auto file = InputSource::OpenFile(name);
    if (!file) return Fail(cannot(ErrorCategory::Io, file.Error().reason));
    d->file_ = std::move(file).Value();
    mpg123_replace_reader_handle(mh, ReadFile, SeekFile, nullptr);
    opened = mpg123_open_handle(mh, &d->file_);
  }
  if (opened != MPG123_OK) return Fail(cannot(ErrorCategory::Format, mpg123_strerror(mh)));

  long rate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
    const std::string why = d->stream_ && !d->stream_->EndReason().empty() ? d->stream_->EndReason()
                                                                          : std::string("no MPEG audio found");
    return Fail(cannot(ErrorCategory::Format, why));
  }
  d->format_ = AudioFormat{uint32_t(rate), uint16_t(channels), 16};
  // The length comes from the stream's info frame or, without one, from the file size
  // and the first frame. A full scan would be exact for headerless variable-rate files,
  // but seeking back after it changes the decoding of the first frames.
  if (!d->stream_) {
    const off_t length = mpg123_length(mh);
    d->lengthFrames_ = length > 0 ? uint64_t(length) : 0;
  }
  return d;
}

Expected<PlaybackStatus> PlaybackDecoder::Next(const uint8_t** pcm, size_t* bytes) {
  auto cannot = [this](ErrorCategory category, const std::string& why) {
    return Error(category, {}, "Cannot decode " + name_ + " further: " + why, why, name_);
  };
  *pcm = nullptr;
  *bytes = 0;
  off_t frameNumber = 0;
  unsigned char* audio = nullptr;
  size_t got = 0;
  const int result = mpg123_decode_frame(handle_.get(), &frameNumber, &audio, &got);
  if (file_.IsOpen() && file_.ReadFailed()) {
    return Fail(cannot(ErrorCategory::Io, "reading the file failed"));
  }
  switch (result) {
    case MPG123_NEW_FORMAT: {
      long rate = 0;
      int channels = 0, encoding = 0;
      if (mpg123_getformat(handle_.get(), &rate, &channels, &encoding) == MPG123_OK) {
        format_ = AudioFormat{uint32_t(rate), uint16_t(channels), 16};
      }
      return PlaybackStatus::Again;
    }
    case MPG123_OK:
      if (got == 0 || audio == nullptr) return PlaybackStatus::Again;
      lastAudio_ = std::chrono::steady_clock::now();
      *pcm = audio;
      *bytes = got;
      return PlaybackStatus::Frame;
    case MPG123_DONE:
    case MPG123_NEED_MORE:
      return PlaybackStatus::End;
    default:
      return Fail(cannot(ErrorCategory::Format, mpg123_strerror(handle_.get())));
  }
}

MpegFrameInfo PlaybackDecoder::Info() const { return FrameInfoOf(handle_.get()); }

uint64_t PlaybackDecoder::Position() const {
  const off_t at = mpg123_tell(handle_.get());
  return at > 0 ? uint64_t(at) : 0;
}

std::optional<uint64_t> PlaybackDecoder::Seek(uint64_t frame) {
  if (stream_) return std::nullopt;
  if (lengthFrames_ > 0 && frame > lengthFrames_) frame = lengthFrames_;
  const off_t at = mpg123_seek(handle_.get(), off_t(frame), SEEK_SET);
  if (at < 0) return std::nullopt;
  return uint64_t(at);
}

void PlaybackDecoder::SetEqualizer(const ZbdEqualizer* equalizer) {
  mpg123_handle* mh = handle_.get();
  bool any = false;
  if (equalizer != nullptr) {
    for (int b = 0; b < 32; ++b) any = any || equalizer->left[b] != 0 || equalizer->right[b] != 0;
  }
  // Factors of exactly 1 would still run the equalizer's arithmetic; off is off.
  mpg123_reset_eq(mh);
  if (!any) return;
  for (int b = 0; b < 32; ++b) {
    mpg123_eq(mh, MPG123_LEFT, b, EqualizerFactor(equalizer->left[b]));
    mpg123_eq(mh, MPG123_RIGHT, b, EqualizerFactor(equalizer->right[b]));
  }
}

std::optional<std::string> PlaybackDecoder::TakeNewTitle() {
  if (!stream_ || (mpg123_meta_check(handle_.get()) & MPG123_NEW_ICY) == 0) return std::nullopt;
  char* icy = nullptr;
  if (mpg123_icy(handle_.get(), &icy) != MPG123_OK || icy == nullptr) return std::nullopt;
  const std::optional<std::string> raw = StreamTitleOf(icy);
  if (!raw) return std::nullopt;
  // The station's bytes: UTF-8 or its 8-bit encoding, and whatever controls it put there
  // (they would show as boxes or run as escapes). Cleaned as the maker cleans server data.
  std::string title = ShowableText(*raw);
  if (title == lastTitle_) return std::nullopt;
  lastTitle_ = title;
  return title;
}
