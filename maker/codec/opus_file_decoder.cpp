// DecodeOpusFile over libopusfile, which removes the pre-skip, trims the end to the last
// page's granule position and applies the header's output gain.
#include "maker/codec/opus_file_decoder.h"

#include <opus/opusfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/fault_guard.h"
#include "maker/codec/wav_pcm_output.h"

namespace {

// Opus always decodes at 48 kHz, whatever rate the encoder was given.
constexpr uint32_t kOpusRate = 48000;
// Samples (all channels) asked of the library at once: 120 ms of stereo, the longest packet.
constexpr int kReadSamples = 5760 * 2;

class OpusDecodeRun {
 public:
  OpusDecodeRun(WavPcmOutput& output, void* record, CodecStatusCallback callback)
      : output_(output), record_(record), callback_(callback) {}
  ~OpusDecodeRun() {
    if (file_ != nullptr) RunGuarded([&] { op_free(file_); });
  }
  OpusDecodeRun(const OpusDecodeRun&) = delete;
  OpusDecodeRun& operator=(const OpusDecodeRun&) = delete;

  // The channels of the output: the file's one or two (more are mixed down to two).
  int Channels() const { return outputChannels_; }

  CodecOutcome Decode(const std::string& inputPath) {
    int error = 0;
    if (RunGuarded([&] { file_ = op_open_file(inputPath.c_str(), &error); }) != 0 || file_ == nullptr) {
      file_ = nullptr;
      return {CodecEvent::CannotInitialize};
    }
    const int fileChannels = LinkChannels(-1);
    if (fileChannels < 1) return {CodecEvent::CannotInitialize};
    outputChannels_ = fileChannels == 1 ? 1 : 2;
    const bool mixDown = fileChannels > 2;

    std::vector<int16_t> samples(kReadSamples);
    const uint64_t bytesPerSecond = uint64_t{kOpusRate} * outputChannels_ * sizeof(int16_t);
    int lastLink = -1;
    for (;;) {
      int frames = 0;
      int link = -1;
      const uint32_t fault = RunGuarded([&] {
        frames = mixDown ? op_read_stereo(file_, samples.data(), kReadSamples)
                         : op_read(file_, samples.data(), kReadSamples, &link);
      });
      if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      if (frames == 0) break;
      if (frames == OP_HOLE) {
        // Pages lost or damaged inside the stream: the library goes on behind them.
        ++holes_;
        continue;
      }
      if (frames < 0) return {CodecEvent::CodecFailed, 0, "The Opus audio is damaged and cannot be decoded."};
      if (!mixDown && link != lastLink) {
        // Streams joined one behind the other must keep the first one's channels.
        if (LinkChannels(link) != fileChannels) {
          return {CodecEvent::CodecFailed, 0, "The input file changes its channels part way."};
        }
        lastLink = link;
      }
      if (!output_.Write(samples.data(), static_cast<size_t>(frames) * outputChannels_)) {
        return {CodecEvent::CannotWriteOutput};
      }
      if (output_.SecondPassed(bytesPerSecond) &&
          ReportCodecEvent(record_, callback_, CodecEvent::Progress, ProgressValue()) != 0) {
        break;
      }
    }
    if (holes_ > 0) {
      const std::string warning = SkippedGapsWarning(holes_);
      ReportCodecEvent(record_, callback_, CodecEvent::Warning, 0, warning.c_str());
    }
    return {CodecEvent::Finished};
  }

 private:
  // The channel count of a link (-1: the current one), 0 when the library cannot tell.
  int LinkChannels(int link) {
    const OpusHead* head = nullptr;
    if (RunGuarded([&] { head = op_head(file_, link); }) != 0 || head == nullptr) return 0;
    return head->channel_count;
  }
  int32_t ProgressValue() const {
    const uint64_t bytes = output_.BytesWritten();
    return bytes > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(bytes);
  }

  WavPcmOutput& output_;
  void* record_;
  CodecStatusCallback callback_;
  OggOpusFile* file_ = nullptr;
  int outputChannels_ = 2;
  int holes_ = 0;
};

}  // namespace

void DecodeOpusFile(const std::string& inputPath, const std::string& outputPath, void* record,
                    CodecStatusCallback callback) {
  WavPcmOutput output;
  CodecOutcome outcome = output.Create(outputPath);
  if (outcome.kind == CodecEvent::Finished) {
    int channels = 2;
    {
      OpusDecodeRun run(output, record, callback);
      outcome = run.Decode(inputPath);
      channels = run.Channels();
    }
    if (!output.Finish(channels == 1, kOpusRate) && outcome.kind == CodecEvent::Finished) {
      outcome = {CodecEvent::CannotWriteOutput};
    }
  }
  ReportCodecEvent(record, callback, outcome);
}
