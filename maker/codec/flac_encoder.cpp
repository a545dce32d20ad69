// EncodeFlacFile over libFLAC's stream encoder, writing through callbacks on our own file.
#include "maker/codec/flac_encoder.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/fault_guard.h"
#include "common/wav_header.h"
#include "maker/codec/codec_file.h"
#include "maker/codec/encoder_input.h"

namespace {

// Room for tags and a cover written after the encode without moving the audio.
constexpr uint32_t kPaddingBytes = 8192;
// A seek point every ten seconds of audio, so players can jump without scanning.
constexpr uint32_t kSeekPointSeconds = 10;

// A metadata block owned by us until the encoder is deleted (it keeps a pointer to it).
struct MetadataDeleter {
  void operator()(FLAC__StreamMetadata* block) const {
    if (block != nullptr) FLAC__metadata_object_delete(block);
  }
};
using MetadataBlock = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

// One encode with its resources: the files, the encoder and its metadata blocks.
class FlacEncodeRun {
 public:
  FlacEncodeRun(void* record, CodecStatusCallback callback) : record_(record), callback_(callback) {}

  ~FlacEncodeRun() { DeleteEncoder(); }

  CodecOutcome Run(const std::string& inputPath, const std::string& outputPath, const FlacEncodeOptions& options) {
    CodecOutcome outcome = Encode(inputPath, outputPath, options);
    DeleteEncoder();
    if (out_.Valid() && !out_.Close() && outcome.kind == CodecEvent::Finished) {
      outcome = {CodecEvent::CannotWriteOutput};
    }
    in_.Close();
    return outcome;
  }

 private:
  CodecOutcome Encode(const std::string& inputPath, const std::string& outputPath, const FlacEncodeOptions& options) {
    in_ = CodecFile::OpenForReading(inputPath);
    if (!in_.Valid()) return {CodecEvent::CannotOpenInput};
    WavFormatInfo wav;
    if (ReadWavHeader(in_.Fd(), wav) != kWavReadOk) return {CodecEvent::InvalidWavHeader};
    if (const CodecOutcome input = CheckEncoderInput(wav); input.kind != CodecEvent::Finished) return input;
    // Checked before the output exists, so a refused input leaves no file behind.
    if (wav.channels > 2) return {CodecEvent::CodecFailed, 0, "FLAC files are written with one or two channels only."};
    if (options.level < 0 || options.level > 8) return {CodecEvent::CannotInitialize};

    const uint32_t channels = wav.channels;
    const uint32_t frameBytes = channels * 2;
    // The data chunk's whole sample frames: chunks stored behind it are not audio, and a
    // last partial frame has no sample for every channel.
    const uint64_t totalFrames = wav.dataBytes / frameBytes;

    out_ = CodecFile::CreateForWriting(outputPath);
    if (!out_.Valid()) return {CodecEvent::CannotCreateOutput, errno};

    if (const CodecOutcome made = MakeEncoder(wav, totalFrames, options); made.kind != CodecEvent::Finished) {
      return made;
    }

    // About one second of audio per block: the progress and cancel step.
    const size_t blockFrames = wav.sampleRate;
    std::vector<int16_t> pcm;
    std::vector<FLAC__int32> samples;
    try {
      pcm.resize(blockFrames * channels);
      samples.resize(blockFrames * channels);
    } catch (const std::bad_alloc&) {
      return {CodecEvent::OutOfMemory};
    }

    uint64_t framesRead = 0;
    while (framesRead < totalFrames) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(totalFrames - framesRead, blockFrames));
      const ssize_t got = in_.ReadUpTo(pcm.data(), want * frameBytes);
      if (got < 0) return {CodecEvent::CannotReadInput};
      const auto frames = static_cast<uint32_t>(static_cast<size_t>(got) / frameBytes);
      // The file became shorter than its header said while it was read: what was read is
      // the audio.
      if (frames == 0) break;
      const size_t count = size_t{frames} * channels;
      for (size_t i = 0; i < count; ++i) samples[i] = FromLittleEndian(pcm[i]);
      FLAC__bool processed = false;
      const uint32_t fault = RunGuarded(
          [&] { processed = FLAC__stream_encoder_process_interleaved(encoder_, samples.data(), frames); });
      if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      if (!processed) return Failure();
      framesRead += frames;
      if (ReportCodecEvent(record_, callback_, CodecEvent::Progress,
                           static_cast<int32_t>(framesRead * 10000 / totalFrames)) != 0) {
        break;  // cancelled: the file ends where the input stopped being read
      }
      if (frames < want) break;
    }

    FLAC__bool finished = false;
    const uint32_t fault = RunGuarded([&] { finished = FLAC__stream_encoder_finish(encoder_); });
    if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    if (!finished) return Failure();
    return {CodecEvent::Finished};
  }

  // Creates and configures the encoder and writes the file's start; Finished when it runs.
  CodecOutcome MakeEncoder(const WavFormatInfo& wav, uint64_t totalFrames, const FlacEncodeOptions& options) {
    padding_.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING));
    seekTable_.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE));
    if (!padding_ || !seekTable_) return {CodecEvent::OutOfMemory};
    padding_->length = kPaddingBytes;
    if (!FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
            seekTable_.get(), wav.sampleRate * kSeekPointSeconds, totalFrames) ||
        !FLAC__metadata_object_seektable_template_sort(seekTable_.get(), /*compact=*/true)) {
      return {CodecEvent::OutOfMemory};
    }
    FLAC__StreamMetadata* blocks[] = {seekTable_.get(), padding_.get()};

    FLAC__StreamEncoderInitStatus status = FLAC__STREAM_ENCODER_INIT_STATUS_ENCODER_ERROR;
    bool configured = false;
    const uint32_t fault = RunGuarded([&] {
      encoder_ = FLAC__stream_encoder_new();
      if (encoder_ == nullptr) return;
      configured = FLAC__stream_encoder_set_verify(encoder_, options.verify) &&
                   FLAC__stream_encoder_set_compression_level(encoder_, static_cast<uint32_t>(options.level)) &&
                   FLAC__stream_encoder_set_channels(encoder_, wav.channels) &&
                   FLAC__stream_encoder_set_bits_per_sample(encoder_, 16) &&
                   FLAC__stream_encoder_set_sample_rate(encoder_, wav.sampleRate) &&
                   FLAC__stream_encoder_set_total_samples_estimate(encoder_, totalFrames) &&
                   FLAC__stream_encoder_set_metadata(encoder_, blocks, 2);
      if (configured) status = FLAC__stream_encoder_init_stream(encoder_, WriteCallback, SeekCallback, TellCallback,
                                                                /*metadata_callback=*/nullptr, this);
    });
    if (fault != 0) {
      encoder_ = nullptr;
      return {CodecEvent::CannotInitialize};
    }
    if (encoder_ == nullptr) return {CodecEvent::OutOfMemory};
    if (writeFailed_) return {CodecEvent::CannotWriteOutput};
    if (!configured || status != FLAC__STREAM_ENCODER_INIT_STATUS_OK) return {CodecEvent::CannotInitialize};
    return {CodecEvent::Finished};
  }

  // Deleting an encoder that was not finished finishes it: that happens only after a
  // failure, whose outcome is decided already, so what it writes does not matter.
  void DeleteEncoder() {
    if (encoder_ != nullptr) RunGuarded([&] { FLAC__stream_encoder_delete(encoder_); });
    encoder_ = nullptr;
  }

  // The outcome of a failed process or finish call, from the encoder's state.
  CodecOutcome Failure() {
    if (writeFailed_) return {CodecEvent::CannotWriteOutput};
    const FLAC__StreamEncoderState state = FLAC__stream_encoder_get_state(encoder_);
    if (state == FLAC__STREAM_ENCODER_MEMORY_ALLOCATION_ERROR) return {CodecEvent::OutOfMemory};
    if (state == FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA) {
      FLAC__uint64 sample = 0;
      uint32_t frame = 0;
      uint32_t channel = 0;
      uint32_t inFrame = 0;
      FLAC__int32 expected = 0;
      FLAC__int32 got = 0;
      FLAC__stream_encoder_get_verify_decoder_error_stats(encoder_, &sample, &frame, &channel, &inFrame, &expected,
                                                          &got);
      detail_ = "Verify found the encoded audio differing from the input at sample " + std::to_string(sample) +
                " of channel " + std::to_string(channel + 1) + " (" + std::to_string(got) + " instead of " +
                std::to_string(expected) + ").";
    } else {
      detail_ = std::string("The FLAC encoder stopped: ") + FLAC__stream_encoder_get_resolved_state_string(encoder_) +
                ".";
    }
    return {CodecEvent::CodecFailed, 0, detail_.c_str()};
  }

  static FLAC__int32 FromLittleEndian(int16_t stored) {
    const auto bytes = static_cast<uint16_t>(stored);
    if constexpr (std::endian::native == std::endian::little) return static_cast<int16_t>(bytes);
    return static_cast<int16_t>(static_cast<uint16_t>((bytes >> 8) | (bytes << 8)));
  }

  static FLAC__StreamEncoderWriteStatus WriteCallback(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                      size_t bytes, uint32_t, uint32_t, void* client) {
    auto* run = static_cast<FlacEncodeRun*>(client);
    if (run->out_.WriteAll(buffer, bytes)) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    run->writeFailed_ = true;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
  }

  // Used at the end to fill in the audio's MD5 signature, sample count and seek points.
  static FLAC__StreamEncoderSeekStatus SeekCallback(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client) {
    auto* run = static_cast<FlacEncodeRun*>(client);
    if (run->out_.SeekTo(static_cast<off_t>(offset))) return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
    run->writeFailed_ = true;
    return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
  }

  static FLAC__StreamEncoderTellStatus TellCallback(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client) {
    auto* run = static_cast<FlacEncodeRun*>(client);
    const off_t at = ::lseek(run->out_.Fd(), 0, SEEK_CUR);
    if (at < 0) return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = static_cast<FLAC__uint64>(at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
  }

  void* record_;
  CodecStatusCallback callback_;
  CodecFile in_;
  CodecFile out_;
  bool writeFailed_ = false;
  std::string detail_;  // what a kind-11 outcome's detail points at
  MetadataBlock padding_;
  MetadataBlock seekTable_;
  FLAC__StreamEncoder* encoder_ = nullptr;  // deleted before the blocks it points at
};

}  // namespace

void EncodeFlacFile(const std::string& inputPath, const std::string& outputPath, const FlacEncodeOptions& options,
                    void* record, CodecStatusCallback callback) {
  CodecOutcome outcome{CodecEvent::Finished};
  std::string detail;
  {
    FlacEncodeRun run(record, callback);
    outcome = run.Run(inputPath, outputPath, options);
    // The run's detail text goes with it: keep a copy for the final event.
    if (outcome.detail != nullptr) {
      detail = outcome.detail;
      outcome.detail = detail.c_str();
    }
  }
  ReportCodecEvent(record, callback, outcome);
}
