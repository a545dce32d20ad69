// libavcodec's "aac" encoder driven frame by frame.
#include "outside/faac/aac_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <dlfcn.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

void AvCodecContextDeleter::operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
void AvFrameDeleter::operator()(AVFrame* frame) const { av_frame_free(&frame); }
void AvPacketDeleter::operator()(AVPacket* packet) const { av_packet_free(&packet); }

namespace {

// The encoder reports statistics on stderr at its default log level; the host program
// gets our results instead. A level the host chose itself is left alone.
void QuietenLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
  });
}

// libavcodec builds static tables when it is loaded and never frees them, so unloading it
// with this library after each job and loading it again for the next leaked them every
// time (about 12 KB a load with libavcodec 59 of Debian 12: `zbmaker --batch --aac` on
// three files under LeakSanitizer shows three such leaks). Once loaded, it stays loaded;
// this library itself is still unloaded after each job.
__attribute__((constructor)) void KeepLibavcodecLoaded() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&avcodec_version), &info) != 0 && info.dli_fname != nullptr) {
    // Never closed: the handle only marks the loaded library as not to be unloaded.
    (void)::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  }
}

// "the AAC encoder refuses these settings": settings it cannot take are Unsupported, a
// lack of memory an Io error (ENOMEM), a failing frame a Format error of the encoder.
Error EncoderFailure(AacEncoderFault fault, const std::string& text) {
  const ErrorCategory category = fault == AacEncoderFault::Unsupported ? ErrorCategory::Unsupported
                                 : fault == AacEncoderFault::Memory    ? ErrorCategory::Io
                                                                       : ErrorCategory::Format;
  Error error(category, {}, text);
  if (fault == AacEncoderFault::Memory) {
    error.errnum = ENOMEM;
    error.reason = std::strerror(ENOMEM);
  }
  error.WithCase(fault);
  return error;
}

Error OutOfMemory() { return EncoderFailure(AacEncoderFault::Memory, "the AAC encoder ran out of memory"); }

}  // namespace

Expected<std::unique_ptr<AacEncoder>> AacEncoder::Create(const AacEncoderSettings& s) {
  QuietenLibraryLog();
  if (s.channels < 1 || s.channels > 2 || s.sampleRate <= 0 || s.bitRate < 0 || s.cutoffHz < 0) {
    return Fail(EncoderFailure(AacEncoderFault::Unsupported, "AAC encoder settings out of range"));
  }
  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (codec == nullptr) return Fail(EncoderFailure(AacEncoderFault::Unsupported, "no AAC encoder in the codec library"));

  std::unique_ptr<AacEncoder> encoder(new (std::nothrow) AacEncoder);
  if (!encoder) return Fail(OutOfMemory());
  encoder->channels_ = s.channels;
  encoder->context_.reset(avcodec_alloc_context3(codec));
  encoder->frame_.reset(av_frame_alloc());
  encoder->packet_.reset(av_packet_alloc());
  AVCodecContext* c = encoder->context_.get();
  if (c == nullptr || !encoder->frame_ || !encoder->packet_) return Fail(OutOfMemory());

  c->sample_fmt = AV_SAMPLE_FMT_FLTP;
  c->sample_rate = s.sampleRate;
  av_channel_layout_default(&c->ch_layout, s.channels);
  c->time_base = AVRational{1, s.sampleRate};
  if (s.bitRate > 0) c->bit_rate = s.bitRate;
  // The cut-off is an upper limit. At half the rate or above it limits nothing, and the
  // encoder keeps the bandwidth it picks for the bit rate: forcing full bandwidth makes
  // the encoder overshoot low bit rates by far (64 kbit/s came out near 90).
  if (s.cutoffHz > 0 && s.cutoffHz < s.sampleRate / 2) c->cutoff = s.cutoffHz;
  if (s.ltp) {
    // The encoder marks its long-term prediction as experimental.
    c->profile = FF_PROFILE_AAC_LTP;
    c->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    encoder->objectType_ = 4;
  } else {
    c->profile = FF_PROFILE_AAC_LOW;
    encoder->objectType_ = 2;
  }
  // -1 lets the encoder choose mid/side band by band; 0 keeps left/right.
  av_opt_set_int(c->priv_data, "aac_ms", s.midSide ? -1 : 0, 0);
  av_opt_set_int(c->priv_data, "aac_is", s.intensityStereo ? 1 : 0, 0);
  av_opt_set_int(c->priv_data, "aac_pns", s.pns ? 1 : 0, 0);
  av_opt_set_int(c->priv_data, "aac_tns", s.tns ? 1 : 0, 0);
  av_opt_set_int(c->priv_data, "aac_ltp", s.ltp ? 1 : 0, 0);

  if (avcodec_open2(c, codec, nullptr) < 0) {
    return Fail(EncoderFailure(AacEncoderFault::Unsupported, "the AAC encoder refuses these settings"));
  }
  if (c->frame_size != kFrameFrames) {
    return Fail(EncoderFailure(AacEncoderFault::Unsupported, "the AAC encoder does not take 1024-sample frames"));
  }
  return encoder;
}

int AacEncoder::DelayFrames() const { return context_->initial_padding; }

Outcome AacEncoder::Encode(const int16_t* pcm, int frames, AacBlocks& blocks) {
  if (flushed_ || frames <= 0 || frames > kFrameFrames) {
    return Fail(EncoderFailure(AacEncoderFault::Encoder, flushed_ ? "the AAC stream has already ended"
                                                                  : "a frame of more than 1024 samples or none"));
  }
  AVFrame* f = frame_.get();
  av_frame_unref(f);
  f->format = AV_SAMPLE_FMT_FLTP;
  f->sample_rate = context_->sample_rate;
  f->nb_samples = frames;
  if (av_channel_layout_copy(&f->ch_layout, &context_->ch_layout) < 0) return Fail(OutOfMemory());
  if (av_frame_get_buffer(f, 0) < 0) return Fail(OutOfMemory());
  for (int ch = 0; ch < channels_; ++ch) {
    auto* plane = reinterpret_cast<float*>(f->extended_data[ch]);
    for (int i = 0; i < frames; ++i) plane[i] = float(pcm[i * channels_ + ch]) * (1.0f / 32768.0f);
  }
  const int sent = avcodec_send_frame(context_.get(), f);
  if (sent == AVERROR(ENOMEM)) return Fail(OutOfMemory());
  if (sent < 0) return Fail(EncoderFailure(AacEncoderFault::Encoder, "the AAC encoder refused a frame"));
  return Drain(blocks);
}

Outcome AacEncoder::Flush(AacBlocks& blocks) {
  if (flushed_) return Fail(EncoderFailure(AacEncoderFault::Encoder, "the AAC stream has already ended"));
  flushed_ = true;
  if (avcodec_send_frame(context_.get(), nullptr) < 0) {
    return Fail(EncoderFailure(AacEncoderFault::Encoder, "the AAC encoder cannot end the stream"));
  }
  return Drain(blocks);
}

Outcome AacEncoder::Drain(AacBlocks& blocks) {
  for (;;) {
    const int got = avcodec_receive_packet(context_.get(), packet_.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return Done{};
    if (got == AVERROR(ENOMEM)) return Fail(OutOfMemory());
    if (got < 0) return Fail(EncoderFailure(AacEncoderFault::Encoder, "the AAC encoder failed on a frame"));
    try {
      blocks.emplace_back(packet_->data, packet_->data + packet_->size);
    } catch (const std::bad_alloc&) {
      av_packet_unref(packet_.get());
      return Fail(OutOfMemory());
    }
    av_packet_unref(packet_.get());
  }
}
