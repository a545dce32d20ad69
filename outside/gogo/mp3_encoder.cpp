// WAV-to-MP3 encoding over libmp3lame.
#include "outside/gogo/mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace {

lame_global_flags* Flags(const std::unique_ptr<void, LameDeleter>& lame) {
  return static_cast<lame_global_flags*>(lame.get());
}

// The library prints its complaints to stderr by default; the host program reports the
// results of our calls instead.
void Quiet(const char*, va_list) {}

// The input's error, with the encoder's case for it.
Error FromInput(Error error) {
  const WavInputFault fault = error.CaseOr(WavInputFault::Read);
  error.WithCase(fault == WavInputFault::Open                                             ? Mp3EncoderFault::InputOpen
                 : fault == WavInputFault::Format || fault == WavInputFault::Unsupported ? Mp3EncoderFault::InputFormat
                                                                                          : Mp3EncoderFault::InputRead);
  return error;
}

// A failure of the encoder itself, of its settings or of memory.
Error EncoderFailure(Mp3EncoderFault fault, const std::string& text) {
  const ErrorCategory category = fault == Mp3EncoderFault::Encoder  ? ErrorCategory::Unsupported
                                 : fault == Mp3EncoderFault::Memory ? ErrorCategory::Io
                                                                    : ErrorCategory::Usage;
  Error error(category, {}, text);
  if (fault == Mp3EncoderFault::Memory) {
    error.errnum = ENOMEM;
    error.reason = std::strerror(ENOMEM);
  }
  error.WithCase(fault);
  return error;
}

// The output's error, with the encoder's case for it.
Error FromOutput(Error error, Mp3EncoderFault fault) {
  error.WithCase(fault);
  return error;
}

// Worst-case MP3 bytes for `frames` input frames, as the library documents it.
size_t Mp3BufferBytes(uint64_t frames) { return size_t(frames + frames / 4 + 7200); }

bool IsMp3Rate(uint32_t hz) {
  for (uint32_t rate : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u}) {
    if (hz == rate) return true;
  }
  return false;
}

}  // namespace

void LameDeleter::operator()(void* flags) const {
  lame_close(static_cast<lame_global_flags*>(flags));
}

Expected<std::unique_ptr<Mp3Encoder>> Mp3Encoder::Start(const Mp3EncoderSettings& settings) {
  std::unique_ptr<Mp3Encoder> encoder(new (std::nothrow) Mp3Encoder);
  if (!encoder) return Fail(EncoderFailure(Mp3EncoderFault::Memory, "out of memory"));
  encoder->settings_ = settings;
  if (settings.inputPath.empty()) return Fail(EncoderFailure(Mp3EncoderFault::InputOpen, "no input file named"));
  if (settings.outputPath.empty()) return Fail(EncoderFailure(Mp3EncoderFault::OutputOpen, "no output file named"));

  auto input = WavInput::Open(settings.inputPath);
  if (!input) return Fail(FromInput(input.Error()));
  encoder->input_ = std::move(input).Value();
  const WavInputFormat& format = encoder->input_.Format();

  encoder->lame_.reset(lame_init());
  lame_global_flags* gf = Flags(encoder->lame_);
  if (gf == nullptr) return Fail(EncoderFailure(Mp3EncoderFault::Memory, "the MP3 encoder cannot start: out of memory"));
  lame_set_errorf(gf, Quiet);
  lame_set_debugf(gf, Quiet);
  lame_set_msgf(gf, Quiet);

  int mode = settings.channelMode;
  if (mode < 0) mode = format.channels == 1 ? 0 : 2;
  encoder->monoToStereo_ = format.channels == 1 && mode != 0;
  const int encodedChannels = format.channels == 1 && mode == 0 ? 1 : 2;
  if (format.sampleRate > uint32_t(std::numeric_limits<int>::max())) {
    return Fail(EncoderFailure(Mp3EncoderFault::Encoder, "sampling rate beyond the MP3 encoder's range"));
  }
  lame_set_num_channels(gf, encodedChannels);
  lame_set_in_samplerate(gf, int(format.sampleRate));
  // Without an output rate the output keeps the input's rate whenever MP3 can carry it;
  // the library would otherwise lower the rate on its own for small bit rates and VBR.
  int outRate = settings.outputRate;
  if (outRate == 0 && IsMp3Rate(format.sampleRate)) outRate = int(format.sampleRate);
  if (outRate > 0) lame_set_out_samplerate(gf, outRate);
  lame_set_mode(gf, mode == 0 ? MONO : mode == 1 ? STEREO : JOINT_STEREO);
  // Quality 2 is the library's recommended high setting, 7 its fast one.
  lame_set_quality(gf, settings.highQuality ? 2 : 7);
  lame_set_error_protection(gf, settings.errorProtection ? 1 : 0);
  lame_set_bWriteVbrTag(gf, 1);
  if (settings.vbrQuality >= 0) {
    lame_set_VBR(gf, vbr_default);
    lame_set_VBR_q(gf, settings.vbrQuality);
    // The bit-rate item is a floor that holds for every frame, silent ones included.
    lame_set_VBR_min_bitrate_kbps(gf, settings.bitRateKbps);
    lame_set_VBR_hard_min(gf, 1);
  } else {
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, settings.bitRateKbps);
  }
  if (lame_init_params(gf) < 0) {
    return Fail(EncoderFailure(Mp3EncoderFault::Encoder, "the MP3 encoder refuses these settings"));
  }

  // One block is the input that makes one MP3 frame: a resampled output takes
  // proportionally more or fewer input frames per output frame.
  const uint64_t encodedRate = uint64_t(lame_get_out_samplerate(gf));
  const uint64_t frameSize = uint64_t(lame_get_framesize(gf));
  if (encodedRate == 0 || frameSize == 0) {
    return Fail(EncoderFailure(Mp3EncoderFault::Encoder, "the MP3 encoder gives no frame size"));
  }
  encoder->blockFrames_ = std::max<uint64_t>(1, frameSize * format.sampleRate / encodedRate);
  const uint64_t blocks = (format.frames + encoder->blockFrames_ - 1) / encoder->blockFrames_;
  if (blocks > std::numeric_limits<int32_t>::max()) {
    return Fail(Error(ErrorCategory::Unsupported, {}, settings.inputPath + ": too long to encode", "too long to encode",
                      settings.inputPath)
                    .WithCase(Mp3EncoderFault::InputFormat));
  }
  encoder->totalBlocks_ = uint32_t(blocks);

  try {
    encoder->pcm_.resize(size_t(encoder->blockFrames_) * format.channels);
    encoder->mp3_.resize(Mp3BufferBytes(encoder->blockFrames_));
  } catch (const std::bad_alloc&) {
    return Fail(EncoderFailure(Mp3EncoderFault::Memory, "out of memory"));
  }

  if (encoder->input_.SameFileAs(settings.outputPath)) {
    return Fail(Error(ErrorCategory::Usage, {}, "refusing to write " + settings.outputPath + ": it is the input file itself",
                      "it is the input file itself", settings.outputPath)
                    .WithCase(Mp3EncoderFault::OutputOpen));
  }
  auto output = Mp3OutputFile::Create(settings.outputPath);
  if (!output) return Fail(FromOutput(output.Error(), Mp3EncoderFault::OutputOpen));
  encoder->output_ = std::move(output).Value();
  return encoder;
}

Expected<bool> Mp3Encoder::EncodeNextBlock() {
  if (finished_) return Fail(EncoderFailure(Mp3EncoderFault::Encoder, "the encode has already finished"));
  if (blocksDone_ == totalBlocks_) return false;
  const uint64_t frames = std::min(blockFrames_, input_.FramesLeft());
  if (frames == 0) {
    return Fail(Error(ErrorCategory::Format, {}, settings_.inputPath + ": the file ends early", "the file ends early",
                      settings_.inputPath)
                    .WithCase(Mp3EncoderFault::InputRead));
  }
  if (auto read = input_.Read(pcm_.data(), frames); !read) {
    return Fail(Error(read.Error()).WithCase(Mp3EncoderFault::InputRead));
  }

  lame_global_flags* gf = Flags(lame_);
  const int n = int(frames);
  int bytes = 0;
  if (input_.Format().channels == 2) {
    bytes = lame_encode_buffer_interleaved(gf, pcm_.data(), n, mp3_.data(), int(mp3_.size()));
  } else {
    // The same samples serve as both channels when a mono input is encoded as stereo;
    // for a mono encode the right channel is ignored.
    bytes = lame_encode_buffer(gf, pcm_.data(), monoToStereo_ ? pcm_.data() : nullptr, n,
                               mp3_.data(), int(mp3_.size()));
  }
  if (bytes < 0) {
    return Fail(bytes == -1 ? EncoderFailure(Mp3EncoderFault::Memory, "the MP3 encoder ran out of memory")
                            : EncoderFailure(Mp3EncoderFault::Encoder, "the MP3 encoder failed on a frame"));
  }
  if (bytes > 0) {
    if (auto written = output_.Write(mp3_.data(), size_t(bytes)); !written) {
      return Fail(FromOutput(written.Error(), Mp3EncoderFault::OutputWrite));
    }
  }
  ++blocksDone_;
  return true;
}

Outcome Mp3Encoder::Finish() {
  if (finished_) return Fail(EncoderFailure(Mp3EncoderFault::Encoder, "the encode has already finished"));
  finished_ = true;
  lame_global_flags* gf = Flags(lame_);
  const int bytes = lame_encode_flush(gf, mp3_.data(), int(mp3_.size()));
  if (bytes < 0) return Fail(EncoderFailure(Mp3EncoderFault::Encoder, "the MP3 encoder failed on its last frames"));
  if (bytes > 0) {
    if (auto written = output_.Write(mp3_.data(), size_t(bytes)); !written) {
      return Fail(FromOutput(written.Error(), Mp3EncoderFault::OutputWrite));
    }
  }
  // The info tag (frame count, delay and padding for gapless playback) replaces the
  // placeholder first frame; an output that cannot seek keeps the placeholder.
  const size_t tagBytes = lame_get_lametag_frame(gf, mp3_.data(), mp3_.size());
  if (tagBytes > 0 && tagBytes <= mp3_.size()) {
    if (auto written = output_.WriteAt(0, mp3_.data(), tagBytes); !written && written.Error().errnum != ESPIPE) {
      return Fail(FromOutput(written.Error(), Mp3EncoderFault::OutputWrite));
    }
  }
  if (auto closed = output_.Close(); !closed) return Fail(FromOutput(closed.Error(), Mp3EncoderFault::OutputWrite));
  return Done{};
}
