// EncodeOpusFile over libopusenc, writing through our own callbacks so that write errors are seen.
#include "maker/codec/opus_encoder.h"

#include <opus/opusenc.h>

#include <cerrno>
#include <cstdint>
#include <random>
#include <vector>

#include "common/fault_guard.h"
#include "maker/codec/codec_file.h"
#include "maker/codec/wav_pcm_input.h"

namespace {

// Sample frames handed to the encoder at once; also the distance between two progress
// events and cancel checks (at most a quarter of a second at every accepted rate).
constexpr size_t kFramesPerBlock = 4096;

// Where the library's pages go: the output file, with the first failure remembered (the
// library itself does not stop on a failed write in every case).
struct PageSink {
  CodecFile* file = nullptr;
  bool failed = false;

  static int Write(void* user, const unsigned char* bytes, opus_int32 count) {
    auto& sink = *static_cast<PageSink*>(user);
    if (sink.failed || !sink.file->WriteAll(bytes, static_cast<size_t>(count))) sink.failed = true;
    return sink.failed ? 1 : 0;
  }
  // The output is closed by the run, which sees the close's own errors.
  static int Close(void*) { return 0; }
};

class OpusEncodeRun {
 public:
  OpusEncodeRun(void* record, CodecStatusCallback callback) : record_(record), callback_(callback) {}
  ~OpusEncodeRun() {
    if (encoder_ != nullptr) RunGuarded([&] { ope_encoder_destroy(encoder_); });
    if (comments_ != nullptr) RunGuarded([&] { ope_comments_destroy(comments_); });
  }
  OpusEncodeRun(const OpusEncodeRun&) = delete;
  OpusEncodeRun& operator=(const OpusEncodeRun&) = delete;

  CodecOutcome Run(const std::string& inputPath, const std::string& outputPath, const OpusEncodeOptions& options) {
    CodecOutcome outcome = Encode(inputPath, outputPath, options);
    if (encoder_ != nullptr) {
      // Frees the encoder before the file closes; pages it still held are dropped (the
      // encode has failed already, or they were drained).
      RunGuarded([&] { ope_encoder_destroy(encoder_); });
      encoder_ = nullptr;
    }
    if (out_.Valid() && !out_.Close() && outcome.kind == CodecEvent::Finished) outcome = {CodecEvent::CannotWriteOutput};
    return outcome;
  }

 private:
  CodecOutcome Encode(const std::string& inputPath, const std::string& outputPath, const OpusEncodeOptions& options) {
    if (const CodecOutcome input = in_.Open(inputPath); input.kind != CodecEvent::Finished) return input;
    // The library writes its first page with the first audio, into the file created below.
    sink_.file = &out_;

    const int channels = in_.Channels();
    // The bit rate is meant for two channels: a mono input gets half of it, as much per
    // channel.
    const opus_int32 bitsPerSecond = options.bitRate * 1000 * channels / 2;
    const OpusEncCallbacks callbacks{PageSink::Write, PageSink::Close};
    int error = OPE_OK;
    int refused = OPE_OK;
    // A fresh serial number per file, so that files joined into one stream stay apart.
    const auto serial = static_cast<opus_int32>(std::random_device{}() & 0x7FFFFFFF);
    if (RunGuarded([&] {
          // The comment header holds the library's vendor string; the tags are written into
          // it afterwards, in the room the library leaves behind it.
          comments_ = ope_comments_create();
          if (comments_ == nullptr) return;
          encoder_ = ope_encoder_create_callbacks(&callbacks, &sink_, comments_,
                                                  static_cast<opus_int32>(in_.SampleRate()), channels,
                                                  /*family=*/0, &error);
          if (encoder_ == nullptr) return;
          refused = ope_encoder_ctl(encoder_, OPUS_SET_BITRATE(bitsPerSecond));
          // Unconstrained variable bit rate: the bit rate is an average over the file, not a
          // ceiling per frame (the library's default constrains it).
          if (refused == OPE_OK) refused = ope_encoder_ctl(encoder_, OPUS_SET_VBR_CONSTRAINT(0));
          // The input's noise floor: no bits are spent on detail below 16-bit resolution.
          if (refused == OPE_OK) refused = ope_encoder_ctl(encoder_, OPUS_SET_LSB_DEPTH(16));
          if (refused == OPE_OK) refused = ope_encoder_ctl(encoder_, OPE_SET_SERIALNO(serial));
        }) != 0) {
      return {CodecEvent::CannotInitialize};
    }
    if (comments_ == nullptr || error == OPE_ALLOC_FAIL) return {CodecEvent::OutOfMemory};
    if (encoder_ == nullptr || refused != OPE_OK) return {CodecEvent::CannotInitialize};
    // Created once the encoder has taken its settings, so a refused setting leaves no
    // empty file behind.
    out_ = CodecFile::CreateForWriting(outputPath);
    if (!out_.Valid()) return {CodecEvent::CannotCreateOutput, errno};

    std::vector<int16_t> samples;
    for (;;) {
      const int64_t frames = in_.Read(samples, kFramesPerBlock);
      if (frames < 0) return {CodecEvent::CannotReadInput};
      if (frames == 0) break;
      int written = OPE_OK;
      const uint32_t fault = RunGuarded([&] {
        written = ope_encoder_write(encoder_, samples.data(), static_cast<int>(frames));
      });
      if (const CodecOutcome failed = Check(fault, written); failed.kind != CodecEvent::Finished) return failed;
      // A cancel ends the stream where the input stopped being read.
      if (ReportCodecEvent(record_, callback_, CodecEvent::Progress, in_.Progress()) != 0) break;
    }
    int drained = OPE_OK;
    const uint32_t fault = RunGuarded([&] { drained = ope_encoder_drain(encoder_); });
    return Check(fault, drained);
  }

  // The outcome of one call into the encoder: a failed write first, as it is the cause of
  // whatever the library answers then.
  CodecOutcome Check(uint32_t fault, int result) const {
    if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    if (sink_.failed || result == OPE_WRITE_FAIL) return {CodecEvent::CannotWriteOutput};
    if (result == OPE_ALLOC_FAIL) return {CodecEvent::OutOfMemory};
    if (result != OPE_OK) return {CodecEvent::CodecFailed, 0, "The Opus encoder refused the audio."};
    return {CodecEvent::Finished};
  }

  void* record_;
  CodecStatusCallback callback_;
  WavPcmInput in_;
  CodecFile out_;
  PageSink sink_;
  OggOpusComments* comments_ = nullptr;
  OggOpusEnc* encoder_ = nullptr;
};

}  // namespace

void EncodeOpusFile(const std::string& inputPath, const std::string& outputPath, const OpusEncodeOptions& options,
                    void* record, CodecStatusCallback callback) {
  CodecOutcome outcome{CodecEvent::Finished};
  {
    OpusEncodeRun run(record, callback);
    outcome = run.Run(inputPath, outputPath, options);
  }
  ReportCodecEvent(record, callback, outcome);
}
