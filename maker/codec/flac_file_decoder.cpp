// DecodeFlacFile over libFLAC's stream decoder, reading through callbacks on our own file.
#include "maker/codec/flac_file_decoder.h"

#include <FLAC/stream_decoder.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "common/fault_guard.h"
#include "common/wav_header.h"
#include "maker/codec/codec_file.h"

namespace {

int32_t ClampToInt32(uint64_t value) {
  return value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                             : static_cast<int32_t>(value);
}

const char* DamageText(FLAC__StreamDecoderErrorStatus status) {
  switch (status) {
    case FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC: return "data that is no FLAC frame";
    case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_HEADER: return "a damaged frame header";
    case FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH: return "a frame whose checksum does not match";
    case FLAC__STREAM_DECODER_ERROR_STATUS_UNPARSEABLE_STREAM: return "a frame this decoder cannot parse";
    case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_METADATA: return "a damaged metadata block";
  }
  return "damaged data";
}

// One decode into an output that holds the placeholder header already.
class FlacDecodeRun {
 public:
  FlacDecodeRun(CodecFile& output, void* record, CodecStatusCallback callback)
      : out_(output), record_(record), callback_(callback) {}

  ~FlacDecodeRun() {
    if (decoder_ != nullptr) RunGuarded([&] { FLAC__stream_decoder_delete(decoder_); });
  }

  CodecOutcome Decode(const std::string& inputPath) {
    in_ = CodecFile::OpenForReading(inputPath);
    if (!in_.Valid()) return {CodecEvent::CannotInitialize};

    FLAC__StreamDecoderInitStatus status = FLAC__STREAM_DECODER_INIT_STATUS_ERROR_OPENING_FILE;
    if (RunGuarded([&] {
          decoder_ = FLAC__stream_decoder_new();
          if (decoder_ == nullptr) return;
          FLAC__stream_decoder_set_md5_checking(decoder_, true);
          status = FLAC__stream_decoder_init_stream(decoder_, ReadCallback, /*seek=*/nullptr, /*tell=*/nullptr,
                                                    /*length=*/nullptr, /*eof=*/nullptr, WriteCallback,
                                                    MetadataCallback, ErrorCallback, this);
        }) != 0) {
      decoder_ = nullptr;
      return {CodecEvent::CannotInitialize};
    }
    if (decoder_ == nullptr || status == FLAC__STREAM_DECODER_INIT_STATUS_MEMORY_ALLOCATION_ERROR) {
      return {CodecEvent::OutOfMemory};
    }
    if (status != FLAC__STREAM_DECODER_INIT_STATUS_OK) return {CodecEvent::CannotInitialize};

    FLAC__bool ok = false;
    uint32_t fault = RunGuarded([&] { ok = FLAC__stream_decoder_process_until_end_of_metadata(decoder_); });
    if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    if (readErrno_ != 0) return ReadFailure();
    // Without a stream information block the file is no FLAC file (or lost its start).
    if (!haveInfo_) return {CodecEvent::CannotInitialize};
    if (!ok || damaged_) return Damage();
    if (bitsPerSample_ != 16 || channels_ < 1 || channels_ > 2) {
      detail_ = "Only 16-bit FLAC files with one or two channels are decoded; this one has " +
                std::to_string(bitsPerSample_) + "-bit samples in " + std::to_string(channels_) + " channels.";
      return {CodecEvent::CodecFailed, 0, detail_.c_str()};
    }

    uint64_t reportedFrames = 0;
    for (;;) {
      FLAC__StreamDecoderState state = FLAC__STREAM_DECODER_END_OF_STREAM;
      fault = RunGuarded([&] {
        ok = FLAC__stream_decoder_process_single(decoder_);
        state = FLAC__stream_decoder_get_state(decoder_);
      });
      if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      if (writeFailed_) return {CodecEvent::CannotWriteOutput};
      if (outOfMemory_ || state == FLAC__STREAM_DECODER_MEMORY_ALLOCATION_ERROR) return {CodecEvent::OutOfMemory};
      if (readErrno_ != 0) return ReadFailure();
      if (damaged_) return Damage();
      if (!ok) {
        detail_ = std::string("The FLAC decoder stopped: ") + FLAC__StreamDecoderStateString[state] + ".";
        return {CodecEvent::CodecFailed, 0, detail_.c_str()};
      }
      if (state == FLAC__STREAM_DECODER_END_OF_STREAM) break;
      if (framesWritten_ - reportedFrames >= sampleRate_) {
        reportedFrames = framesWritten_;
        if (ReportCodecEvent(record_, callback_, CodecEvent::Progress, ClampToInt32(bytesWritten_)) != 0) {
          // Cancelled: the samples so far stay, without the signature check of the whole.
          return {CodecEvent::Finished};
        }
      }
    }

    if (totalFrames_ != 0 && framesWritten_ != totalFrames_) return CutShort();
    // Checks the MD5 signature of everything decoded (a file without one passes).
    FLAC__bool signatureMatches = false;
    fault = RunGuarded([&] { signatureMatches = FLAC__stream_decoder_finish(decoder_); });
    if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    if (!signatureMatches) {
      return {CodecEvent::CodecFailed, 0, "The decoded audio does not match the file's MD5 signature."};
    }
    return {CodecEvent::Finished};
  }

  bool Mono() const { return channels_ == 1; }
  uint32_t SampleRate() const { return sampleRate_; }
  uint64_t BytesWritten() const { return bytesWritten_; }

 private:
  CodecOutcome ReadFailure() {
    detail_ = std::string("Cannot read the input file: ") + std::strerror(readErrno_) + ".";
    return {CodecEvent::CodecFailed, 0, detail_.c_str()};
  }

  CodecOutcome CutShort() {
    detail_ = "The input file is cut short: it holds " + std::to_string(framesWritten_) + " of the " +
              std::to_string(totalFrames_) + " samples its header announces.";
    return {CodecEvent::CodecFailed, 0, detail_.c_str()};
  }

  CodecOutcome Damage() {
    // A frame broken off by the end of the file reads as lost sync: say what happened.
    if (damageAtEnd_ && totalFrames_ != 0 && framesWritten_ < totalFrames_) return CutShort();
    detail_ = std::string("The input file is damaged: ") + DamageText(damage_) + " after " +
              std::to_string(damageFrame_) + " samples.";
    return {CodecEvent::CodecFailed, 0, detail_.c_str()};
  }

  static FLAC__StreamDecoderReadStatus ReadCallback(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                                    void* client) {
    auto* run = static_cast<FlacDecodeRun*>(client);
    const ssize_t got = *bytes > 0 ? run->in_.ReadUpTo(buffer, *bytes) : 0;
    if (got < 0) {
      run->readErrno_ = errno != 0 ? errno : EIO;
      *bytes = 0;
      return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
    *bytes = static_cast<size_t>(got);
    if (got == 0) run->endSeen_ = true;
    return got == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
  }

  static void MetadataCallback(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* client) {
    auto* run = static_cast<FlacDecodeRun*>(client);
    if (block->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    const FLAC__StreamMetadata_StreamInfo& info = block->data.stream_info;
    run->haveInfo_ = true;
    run->channels_ = info.channels;
    run->bitsPerSample_ = info.bits_per_sample;
    run->sampleRate_ = info.sample_rate;
    run->totalFrames_ = info.total_samples;
  }

  static FLAC__StreamDecoderWriteStatus WriteCallback(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                      const FLAC__int32* const buffer[], void* client) {
    auto* run = static_cast<FlacDecodeRun*>(client);
    // A damaged frame arrives as silence: it is not written as if it were audio.
    if (run->damaged_) return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    const FLAC__FrameHeader& header = frame->header;
    if (header.channels != run->channels_ || header.bits_per_sample != 16 || header.sample_rate != run->sampleRate_) {
      // A frame that disagrees with the stream's description: the WAV could not say it.
      run->damaged_ = true;
      run->damage_ = FLAC__STREAM_DECODER_ERROR_STATUS_UNPARSEABLE_STREAM;
      run->damageFrame_ = run->framesWritten_;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const uint32_t frames = header.blocksize;
    const uint32_t channels = header.channels;
    try {
      run->pcm_.resize(size_t{frames} * channels * 2);
    } catch (const std::bad_alloc&) {
      run->outOfMemory_ = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    // 16-bit little-endian, channels interleaved, whatever the machine's byte order.
    unsigned char* at = run->pcm_.data();
    for (uint32_t i = 0; i < frames; ++i) {
      for (uint32_t c = 0; c < channels; ++c) {
        const auto sample = static_cast<uint16_t>(buffer[c][i]);
        *at++ = static_cast<unsigned char>(sample & 0xFF);
        *at++ = static_cast<unsigned char>(sample >> 8);
      }
    }
    if (!run->out_.WriteAll(run->pcm_.data(), run->pcm_.size())) {
      run->writeFailed_ = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    run->framesWritten_ += frames;
    run->bytesWritten_ += run->pcm_.size();
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  static void ErrorCallback(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* client) {
    auto* run = static_cast<FlacDecodeRun*>(client);
    // Bytes behind the last announced sample (a tag appended to the file) are no damage.
    if (run->totalFrames_ != 0 && run->framesWritten_ >= run->totalFrames_) return;
    if (run->damaged_) return;
    run->damaged_ = true;
    run->damage_ = status;
    run->damageFrame_ = run->framesWritten_;
    run->damageAtEnd_ = run->endSeen_;
  }

  CodecFile& out_;
  void* record_;
  CodecStatusCallback callback_;
  CodecFile in_;
  FLAC__StreamDecoder* decoder_ = nullptr;
  std::vector<unsigned char> pcm_;
  std::string detail_;  // what a kind-11 outcome's detail points at

  bool haveInfo_ = false;
  uint32_t channels_ = 2;
  uint32_t bitsPerSample_ = 16;
  uint32_t sampleRate_ = 44100;
  uint64_t totalFrames_ = 0;  // 0: the encoder did not know the length

  uint64_t framesWritten_ = 0;
  uint64_t bytesWritten_ = 0;
  bool writeFailed_ = false;
  bool outOfMemory_ = false;
  int readErrno_ = 0;
  bool damaged_ = false;
  FLAC__StreamDecoderErrorStatus damage_ = FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC;
  uint64_t damageFrame_ = 0;
  bool endSeen_ = false;      // the read callback has met the end of the file
  bool damageAtEnd_ = false;  // the damage was met after the end of the file was
};

}  // namespace

void DecodeFlacFile(const std::string& inputPath, const std::string& outputPath, void* record,
                    CodecStatusCallback callback) {
  CodecFile output = CodecFile::CreateForWriting(outputPath);
  if (!output.Valid()) {
    ReportCodecEvent(record, callback, CodecEvent::CannotCreateOutput, errno);
    return;
  }
  // The header has room for the 64-bit sizes of an output past 4 GiB.
  if (WriteWavHeader64(output.Fd(), /*mono=*/false, 44100, 0) != kWavWriteOk) {
    ReportCodecEvent(record, callback, CodecEvent::CannotWriteOutput);
    return;
  }
  CodecOutcome outcome{CodecEvent::Finished};
  std::string detail;  // what the final event's detail points at
  {
    FlacDecodeRun run(output, record, callback);
    outcome = run.Decode(inputPath);
    if (outcome.detail != nullptr) {
      detail = outcome.detail;
      outcome.detail = detail.c_str();
    }
    if (WriteWavHeader64(output.Fd(), run.Mono(), run.SampleRate(), run.BytesWritten()) != kWavWriteOk &&
        outcome.kind == CodecEvent::Finished) {
      outcome = {CodecEvent::CannotWriteOutput};
    }
  }
  if (!output.Close() && outcome.kind == CodecEvent::Finished) outcome = {CodecEvent::CannotWriteOutput};
  ReportCodecEvent(record, callback, outcome);
}
