// EncodeVorbisFile over libvorbisenc, with libogg putting the packets into pages.
#include "maker/codec/vorbis_encoder.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

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

// The library's encoder state, set up step by step and torn down in reverse order of
// what was set up.
class VorbisState {
 public:
  VorbisState() {
    vorbis_info_init(&info_);
    vorbis_comment_init(&comment_);
  }
  ~VorbisState() {
    RunGuarded([&] {
      if (streamReady_) ogg_stream_clear(&stream_);
      if (blockReady_) vorbis_block_clear(&block_);
      if (dspReady_) vorbis_dsp_clear(&dsp_);
      vorbis_comment_clear(&comment_);
      vorbis_info_clear(&info_);
    });
  }
  VorbisState(const VorbisState&) = delete;
  VorbisState& operator=(const VorbisState&) = delete;

  vorbis_info info_{};
  vorbis_comment comment_{};
  vorbis_dsp_state dsp_{};
  vorbis_block block_{};
  ogg_stream_state stream_{};
  bool dspReady_ = false;
  bool blockReady_ = false;
  bool streamReady_ = false;
};

class VorbisEncodeRun {
 public:
  VorbisEncodeRun(void* record, CodecStatusCallback callback) : record_(record), callback_(callback) {}

  CodecOutcome Run(const std::string& inputPath, const std::string& outputPath, const VorbisEncodeOptions& options) {
    CodecOutcome outcome = Encode(inputPath, outputPath, options);
    if (out_.Valid() && !out_.Close() && outcome.kind == CodecEvent::Finished) outcome = {CodecEvent::CannotWriteOutput};
    return outcome;
  }

 private:
  CodecOutcome Encode(const std::string& inputPath, const std::string& outputPath, const VorbisEncodeOptions& options) {
    if (const CodecOutcome input = in_.Open(inputPath); input.kind != CodecEvent::Finished) return input;

    const int channels = in_.Channels();
    const auto rate = static_cast<long>(in_.SampleRate());
    const float quality = static_cast<float>(options.quality) / 10.0f;
    int refused = 0;
    // A fresh serial number per file, so that files joined into one stream stay apart.
    const int serial = static_cast<int>(std::random_device{}());
    if (RunGuarded([&] {
          refused = vorbis_encode_init_vbr(&s_.info_, channels, rate, quality);
          if (refused != 0) return;
          refused = vorbis_analysis_init(&s_.dsp_, &s_.info_);
          if (refused != 0) return;
          s_.dspReady_ = true;
          refused = vorbis_block_init(&s_.dsp_, &s_.block_);
          if (refused != 0) return;
          s_.blockReady_ = true;
          refused = ogg_stream_init(&s_.stream_, serial);
          if (refused == 0) s_.streamReady_ = true;
        }) != 0 ||
        refused != 0) {
      return {CodecEvent::CannotInitialize};
    }

    // The three headers: the identification header alone on the first page, the comment
    // and setup headers on the pages behind it, and the audio starting on a page of its
    // own, so that the comment header can later be rewritten without touching the audio.
    bool headersOk = false;
    if (const uint32_t fault = RunGuarded([&] {
          ogg_packet identification;
          ogg_packet comments;
          ogg_packet setup;
          if (vorbis_analysis_headerout(&s_.dsp_, &s_.comment_, &identification, &comments, &setup) != 0) return;
          headersOk = ogg_stream_packetin(&s_.stream_, &identification) == 0 &&
                      ogg_stream_packetin(&s_.stream_, &comments) == 0 && ogg_stream_packetin(&s_.stream_, &setup) == 0;
        });
        fault != 0) {
      return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    }
    if (!headersOk) return {CodecEvent::CannotInitialize};
    // Created once the encoder has taken its settings, so a refused setting leaves no
    // empty file behind.
    out_ = CodecFile::CreateForWriting(outputPath);
    if (!out_.Valid()) return {CodecEvent::CannotCreateOutput, errno};
    if (const CodecOutcome flushed = WritePages(/*flush=*/true); flushed.kind != CodecEvent::Finished) return flushed;

    std::vector<int16_t> samples;
    for (;;) {
      const int64_t frames = in_.Read(samples, kFramesPerBlock);
      if (frames < 0) return {CodecEvent::CannotReadInput};
      // A block of no frames tells the encoder the input has ended.
      if (const CodecOutcome analysed = Analyse(samples, channels, frames); analysed.kind != CodecEvent::Finished) {
        return analysed;
      }
      if (frames == 0) break;
      if (ReportCodecEvent(record_, callback_, CodecEvent::Progress, in_.Progress()) != 0) {
        // A cancel ends the stream where the input stopped being read.
        std::vector<int16_t> none;
        return Analyse(none, channels, 0);
      }
    }
    return {CodecEvent::Finished};
  }

  // Hands `frames` frames to the encoder (0: the end of the input) and writes the pages
  // that are complete.
  CodecOutcome Analyse(const std::vector<int16_t>& samples, int channels, int64_t frames) {
    bool failed = false;
    const uint32_t fault = RunGuarded([&] {
      if (frames > 0) {
        float** buffer = vorbis_analysis_buffer(&s_.dsp_, static_cast<int>(frames));
        for (int64_t i = 0; i < frames; ++i) {
          for (int c = 0; c < channels; ++c) buffer[c][i] = samples[i * channels + c] / 32768.0f;
        }
      }
      if (vorbis_analysis_wrote(&s_.dsp_, static_cast<int>(frames)) != 0) {
        failed = true;
        return;
      }
      while (vorbis_analysis_blockout(&s_.dsp_, &s_.block_) == 1) {
        if (vorbis_analysis(&s_.block_, nullptr) != 0 || vorbis_bitrate_addblock(&s_.block_) != 0) {
          failed = true;
          return;
        }
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&s_.dsp_, &packet) == 1) {
          if (ogg_stream_packetin(&s_.stream_, &packet) != 0) {
            failed = true;
            return;
          }
        }
      }
    });
    if (fault != 0) return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    if (failed) return {CodecEvent::CodecFailed, 0, "The Vorbis encoder refused the audio."};
    // The last packet is behind the end-of-stream mark: every page goes out.
    return WritePages(/*flush=*/frames == 0);
  }

  // Writes the pages libogg has completed (all buffered packets when flushing).
  CodecOutcome WritePages(bool flush) {
    for (;;) {
      ogg_page page;
      int ready = 0;
      if (const uint32_t fault = RunGuarded([&] {
            ready = flush ? ogg_stream_flush(&s_.stream_, &page) : ogg_stream_pageout(&s_.stream_, &page);
          });
          fault != 0) {
        return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      }
      if (ready == 0) return {CodecEvent::Finished};
      if (!out_.WriteAll(page.header, static_cast<size_t>(page.header_len)) ||
          !out_.WriteAll(page.body, static_cast<size_t>(page.body_len))) {
        return {CodecEvent::CannotWriteOutput};
      }
    }
  }

  void* record_;
  CodecStatusCallback callback_;
  WavPcmInput in_;
  CodecFile out_;
  VorbisState s_;
};

}  // namespace

void EncodeVorbisFile(const std::string& inputPath, const std::string& outputPath, const VorbisEncodeOptions& options,
                      void* record, CodecStatusCallback callback) {
  CodecOutcome outcome{CodecEvent::Finished};
  {
    VorbisEncodeRun run(record, callback);
    outcome = run.Run(inputPath, outputPath, options);
  }
  ReportCodecEvent(record, callback, outcome);
}
