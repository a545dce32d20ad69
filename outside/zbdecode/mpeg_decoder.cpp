// libmpg123 behind the frame-by-frame decoder.
#include "outside/zbdecode/mpeg_decoder.h"

#include <mpg123.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace {

// Bytes of the input read per call while looking for the first frame.
constexpr size_t kSearchChunkBytes = 64 * 1024;

// The decoder library reads through the input module, from the first frame on.
mpg123_ssize_t ReadInput(void* io, void* buffer, size_t bytes) {
  const uint32_t ask = bytes > 0x7FFFFFFF ? 0x7FFFFFFF : uint32_t(bytes);
  const int64_t got = static_cast<InputTail*>(io)->Read(buffer, ask);
  return got < 0 ? -1 : mpg123_ssize_t(got);
}

off_t SeekInput(void* io, off_t offset, int whence) {
  return off_t(static_cast<InputTail*>(io)->Seek(int64_t(offset), whence));
}

void InitLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

Error OutOfMemory() {
  Error error(ErrorCategory::Io, {}, std::string("the MP3 decoder cannot start: ") + std::strerror(ENOMEM),
              std::strerror(ENOMEM));
  error.errnum = ENOMEM;
  return error;
}

// The decoder library refused a step of its start (`what`), with its own words for why.
Error Refused(const char* what, int code) {
  const std::string reason = mpg123_plain_strerror(code);
  return Error(ErrorCategory::Unsupported, {}, std::string("the MP3 decoder cannot ") + what + ": " + reason, reason);
}

}  // namespace

void Mpg123HandleDeleter::operator()(mpg123_handle* handle) const {
  mpg123_close(handle);
  mpg123_delete(handle);
}

Expected<std::unique_ptr<MpegDecoder>> MpegDecoder::Open(InputSource& source) {
  InitLibraryOnce();
  std::unique_ptr<MpegDecoder> decoder(new (std::nothrow) MpegDecoder);
  if (!decoder) return Fail(OutOfMemory());
  int error = MPG123_OK;
  decoder->handle_.reset(mpg123_new(nullptr, &error));
  mpg123_handle* mh = decoder->handle_.get();
  if (mh == nullptr) return Fail(error == MPG123_OUT_OF_MEM ? OutOfMemory() : Refused("start", error));
  decoder->source_ = &source;

  // The library's messages would go to the host's stderr; results are reported instead.
  if (const int set = mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0); set != MPG123_OK) {
    return Fail(Refused("be quietened", set));
  }
  // Every rate, mono or stereo as the stream has it, always 16-bit: no conversion.
  if (const int set = mpg123_format_none(mh); set != MPG123_OK) return Fail(Refused("clear its formats", set));
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) {
    if (const int set = mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        set != MPG123_OK) {
      return Fail(Refused("take 16-bit output", set));
    }
  }
  if (const int set = mpg123_replace_reader_handle(mh, ReadInput, SeekInput, nullptr); set != MPG123_OK) {
    return Fail(Refused("read through the input module", set));
  }
  try {
    decoder->searchChunk_.resize(kSearchChunkBytes);
  } catch (const std::bad_alloc&) {
    return Fail(OutOfMemory());
  }
  return decoder;
}

MpegFrameStatus MpegDecoder::SearchFirstFrame() {
  const int64_t got = source_->Read(searchChunk_.data(), uint32_t(searchChunk_.size()));
  if (got < 0) return MpegFrameStatus::ReadError;
  if (got == 0) sync_.FeedEnd();
  else sync_.Feed(searchChunk_.data(), size_t(got));
  switch (sync_.Search()) {
    case MpegSyncSearch::State::NeedMore:
      return MpegFrameStatus::NoFrameYet;
    case MpegSyncSearch::State::NotFound:
      return MpegFrameStatus::End;
    case MpegSyncSearch::State::Found:
      break;
  }
  const uint64_t start = sync_.StartOffset();
  tail_ = std::make_unique<InputTail>(*source_, start, sync_.TakeBytesFromStart());
  searchChunk_ = std::vector<uint8_t>();
  if (mpg123_open_handle(handle_.get(), tail_.get()) != MPG123_OK) return MpegFrameStatus::DecodeError;
  return MpegFrameStatus::NoFrameYet;
}

MpegFrameStatus MpegDecoder::DecodeFrame(MpegFrame& frame) {
  frame = MpegFrame{};
  if (!tail_) return SearchFirstFrame();
  off_t frameNumber = 0;
  unsigned char* audio = nullptr;
  size_t bytes = 0;
  const int result = mpg123_decode_frame(handle_.get(), &frameNumber, &audio, &bytes);
  if (source_->ReadFailed()) return MpegFrameStatus::ReadError;
  switch (result) {
    case MPG123_NEW_FORMAT: {
      long rate = 0;
      int channels = 0, encoding = 0;
      if (mpg123_getformat(handle_.get(), &rate, &channels, &encoding) != MPG123_OK ||
          encoding != MPG123_ENC_SIGNED_16 || rate <= 0 || channels < 1 || channels > 2) {
        return MpegFrameStatus::DecodeError;
      }
      currentRate_ = uint32_t(rate);
      currentChannels_ = channels;
      if (channels_ == 0) {
        sampleRate_ = currentRate_;
        channels_ = currentChannels_;
      }
      return MpegFrameStatus::NoFrameYet;
    }
    case MPG123_OK:
      if (bytes == 0 || audio == nullptr) return MpegFrameStatus::NoFrameYet;
      if (channels_ == 0) return MpegFrameStatus::DecodeError;  // samples before any format
      // Callers write one uniform stream: frames whose rate or channel count differs
      // from the first frame's (damage that looks like a header, or another file
      // stitched on) are skipped; decoding goes on with the frames that fit.
      if (currentChannels_ != channels_ || currentRate_ != sampleRate_) return MpegFrameStatus::Skipped;
      frame.pcm = reinterpret_cast<const int16_t*>(audio);
      frame.bytes = bytes;
      frame.channels = channels_;
      frame.sampleRate = sampleRate_;
      return MpegFrameStatus::Frame;
    case MPG123_DONE:
      return MpegFrameStatus::End;
    case MPG123_NEED_MORE:
      // Only a feeding decoder asks for more; a reader at its end means the end.
      return MpegFrameStatus::End;
    default:
      return MpegFrameStatus::DecodeError;
  }
}

MpegFrameInfo FrameInfoOf(mpg123_handle* handle) {
  MpegFrameInfo info;
  mpg123_frameinfo2 raw{};
  if (mpg123_info2(handle, &raw) != MPG123_OK) return info;
  info.mpegVersion = raw.version == MPG123_1_0 ? 1 : raw.version == MPG123_2_0 ? 2 : 3;
  info.layer = uint32_t(raw.layer);
  info.bitRate = uint32_t(raw.bitrate);
  info.sampleRate = uint32_t(raw.rate);
  info.channelMode = uint32_t(raw.mode);
  info.variableRate = uint32_t(raw.vbr);
  info.frameBytes = uint32_t(raw.framesize);
  return info;
}

MpegFrameInfo MpegDecoder::Info() const { return FrameInfoOf(handle_.get()); }

int64_t MpegDecoder::InputPosition() const {
  if (!tail_) return int64_t(sync_.FedBytes());
  const off_t position = mpg123_tell_stream(handle_.get());
  return position < 0 ? -1 : int64_t(tail_->InputOffset(int64_t(position)));
}
