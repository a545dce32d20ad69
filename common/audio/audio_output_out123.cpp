// The "alsa" back end through libout123, on the default device (it can serve "pulse" too,
// but "pulse" has a back end of its own that names its stream in the mixer).
//
// libout123 1.31 (Debian 12) facts this relies on: its output modules come with the
// mpg123 package, not libout123-0; OUT123_FLAGS would replace the default flags, so the
// quiet flag is added with OUT123_ADD_FLAGS; out123_pause closes alsa and pulse devices,
// so a pause drops what the device holds and stops feeding it; the pulse module does not
// start a sound server; OUT123_NAME is the only name it passes on (the mixer's application
// name): the stream's own name (media.name) is the module's fixed "via out123" (seen with
// `pactl list sink-inputs` while the player plays).
#include <out123.h>

#include <memory>

#include "common/audio/audio_output_internal.h"

namespace {

int EncodingOf(uint16_t bitsPerSample) {
  switch (bitsPerSample) {
    case 8: return MPG123_ENC_UNSIGNED_8;
    case 24: return MPG123_ENC_SIGNED_24;
    case 32: return MPG123_ENC_SIGNED_32;
    default: return MPG123_ENC_SIGNED_16;
  }
}

struct Out123Deleter {
  void operator()(out123_handle* ao) const { out123_del(ao); }
};
using Out123Handle = std::unique_ptr<out123_handle, Out123Deleter>;

class Out123Sink final : public AudioSink {
 public:
  Out123Sink(Out123Handle ao, std::string backend, const AudioFormat& format)
      : ao_(std::move(ao)), backend_(std::move(backend)), chunk_(4096 - 4096 % format.BytesPerFrame()) {}

  Outcome Write(const uint8_t* data, size_t bytes) override {
    // The library may change the buffer in place (byte swapping, muting); this one is
    // the output's own scratch copy.
    const size_t played = out123_play(ao_.get(), const_cast<uint8_t*>(data), bytes);
    if (played == bytes) return Done{};
    const std::string reason = out123_strerror(ao_.get());
    return Fail(Error(ErrorCategory::Io, {}, "The audio output " + backend_ + " failed: " + reason, reason, backend_));
  }
  // libout123 does not say how much of what it held was heard: the output's clock counts.
  std::optional<uint64_t> Drop() override {
    out123_drop(ao_.get());
    return std::nullopt;
  }
  void Drain() override { out123_drain(ao_.get()); }
  size_t ChunkBytes() const override { return chunk_; }

 private:
  Out123Handle ao_;
  std::string backend_;
  size_t chunk_;
};

}  // namespace

Expected<std::unique_ptr<AudioSink>> OpenOut123Sink(const SinkRequest& request, const AudioFormat& format) {
  // The device (or the sound server) refused: there is no errno to give.
  const auto failed = [&](const std::string& reason) {
    return Fail(Error(ErrorCategory::Io, {}, "Cannot open the audio output " + request.backend + ": " + reason, reason,
                      request.backend));
  };
  Out123Handle ao(out123_new());
  if (!ao) return failed("out of memory");
  out123_param(ao.get(), OUT123_ADD_FLAGS, OUT123_QUIET, 0.0, nullptr);
  // A short device buffer keeps Stop, seeks and the buffer-played reports close to what
  // is heard.
  out123_param(ao.get(), OUT123_DEVICEBUFFER, 0, 0.2, nullptr);
  out123_param(ao.get(), OUT123_NAME, 0, 0.0, "zbplayer");
  if (out123_open(ao.get(), request.backend.c_str(), nullptr) != OUT123_OK) {
    return failed(out123_strerror(ao.get()));
  }
  if (out123_start(ao.get(), long(format.sampleRate), format.channels, EncodingOf(format.bitsPerSample)) !=
      OUT123_OK) {
    return failed(out123_strerror(ao.get()));
  }
  return std::unique_ptr<AudioSink>(std::make_unique<Out123Sink>(std::move(ao), request.backend, format));
}
