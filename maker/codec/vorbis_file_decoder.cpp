// DecodeVorbisFile over libvorbisfile.
#include "maker/codec/vorbis_file_decoder.h"

#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/fault_guard.h"
#include "maker/codec/wav_pcm_output.h"

namespace {

// Bytes asked of the library at once (it hands out at most one packet's samples per call).
constexpr int kReadBytes = 16384;

struct StreamFormat {
  int channels = 2;
  long sampleRate = 44100;
  bool operator==(const StreamFormat&) const = default;
};

class VorbisDecodeRun {
 public:
  VorbisDecodeRun(WavPcmOutput& output, void* record, CodecStatusCallback callback)
      : output_(output), record_(record), callback_(callback) {}
  ~VorbisDecodeRun() {
    if (open_) RunGuarded([&] { ov_clear(&file_); });
  }
  VorbisDecodeRun(const VorbisDecodeRun&) = delete;
  VorbisDecodeRun& operator=(const VorbisDecodeRun&) = delete;

  const StreamFormat& Format() const { return format_; }

  CodecOutcome Decode(const std::string& inputPath) {
    int opened = -1;
    if (RunGuarded([&] { opened = ov_fopen(inputPath.c_str(), &file_); }) != 0 || opened != 0) {
      return {CodecEvent::CannotInitialize};
    }
    open_ = true;
    if (!ReadFormat(-1, format_)) return {CodecEvent::CannotInitialize};
    // libvorbisfile 1.3.7 can leave a file of joined streams positioned at the start of its
    // second stream after opening it, so the first one is never read (two small files
    // joined with cat: 1 s and 0.5 s of a tone at quality 5 decode to the 0.5 s alone).
    // A seek back to the start reads every stream.
    int rewound = 0;
    if (RunGuarded([&] {
          if (ov_seekable(&file_) != 0 && ov_streams(&file_) > 1) rewound = ov_raw_seek(&file_, 0);
        }) != 0 ||
        rewound != 0) {
      return {CodecEvent::CodecFailed, 0, "The Ogg Vorbis audio is damaged and cannot be decoded."};
    }
    if (format_.channels > 2) return {CodecEvent::CodecFailed, 0, "The input file has more than two channels."};

    std::vector<int16_t> samples(kReadBytes / sizeof(int16_t));
    const uint64_t bytesPerSecond = static_cast<uint64_t>(format_.sampleRate) * format_.channels * sizeof(int16_t);
    int lastLink = -1;
    for (;;) {
      long got = 0;
      int link = 0;
      const uint32_t fault = RunGuarded([&] {
        got = ov_read(&file_, reinterpret_cast<char*>(samples.data()), kReadBytes, /*bigendianp=*/0, /*word=*/2,
                      /*sgned=*/1, &link);
      });
      if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      if (got == 0) break;
      if (got == OV_HOLE) {
        // Pages lost or damaged inside the stream: the library skips to the next good one.
        ++holes_;
        continue;
      }
      if (got < 0) return {CodecEvent::CodecFailed, 0, "The Ogg Vorbis audio is damaged and cannot be decoded."};
      if (link != lastLink) {
        // Streams joined one behind the other must keep the first one's format.
        StreamFormat linkFormat;
        if (!ReadFormat(link, linkFormat) || !(linkFormat == format_)) {
          return {CodecEvent::CodecFailed, 0, "The input file changes its channels or sample rate part way."};
        }
        lastLink = link;
      }
      if (!output_.Write(samples.data(), static_cast<size_t>(got) / sizeof(int16_t))) {
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
  bool ReadFormat(int link, StreamFormat& format) {
    const vorbis_info* info = nullptr;
    if (RunGuarded([&] { info = ov_info(&file_, link); }) != 0 || info == nullptr) return false;
    if (info->channels < 1 || info->rate < 1 || info->rate > 0x7FFFFFFF) return false;
    format = {info->channels, info->rate};
    return true;
  }
  int32_t ProgressValue() const {
    const uint64_t bytes = output_.BytesWritten();
    return bytes > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(bytes);
  }

  WavPcmOutput& output_;
  void* record_;
  CodecStatusCallback callback_;
  OggVorbis_File file_{};
  bool open_ = false;
  StreamFormat format_;
  int holes_ = 0;
};

}  // namespace

void DecodeVorbisFile(const std::string& inputPath, const std::string& outputPath, void* record,
                      CodecStatusCallback callback) {
  WavPcmOutput output;
  CodecOutcome outcome = output.Create(outputPath);
  if (outcome.kind == CodecEvent::Finished) {
    StreamFormat format;
    {
      VorbisDecodeRun run(output, record, callback);
      outcome = run.Decode(inputPath);
      format = run.Format();
    }
    if (!output.Finish(format.channels == 1, static_cast<uint32_t>(format.sampleRate)) &&
        outcome.kind == CodecEvent::Finished) {
      outcome = {CodecEvent::CannotWriteOutput};
    }
  }
  ReportCodecEvent(record, callback, outcome);
}
