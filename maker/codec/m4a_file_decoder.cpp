// DecodeM4aFile over libavformat's MP4 demuxer, libavcodec's AAC and ALAC decoders and
// libswresample for the 16-bit samples.
#include "maker/codec/m4a_file_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <cerrno>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "common/fault_guard.h"
#include "common/wav_header.h"
#include "maker/codec/codec_file.h"
#include "maker/codec/libav_support.h"

namespace {

// More than one frame in 20 that does not decode fails the decode, as for AAC files.
constexpr uint64_t kDamagedShareLimit = 20;

int32_t ClampToInt32(uint64_t value) {
  return value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                             : static_cast<int32_t>(value);
}

// One decode with its resources: the demuxer, the decoder, the converter to 16-bit
// interleaved samples, and the tallies the WAV header and the verdict need.
class M4aDecodeRun {
 public:
  M4aDecodeRun(CodecFile& output, void* record, CodecStatusCallback callback)
      : output_(output), record_(record), callback_(callback) {
    QuietLibavLog();
  }

  CodecOutcome Run(const std::string& inputPath) {
    CodecOutcome outcome = Decode(inputPath);
    if (WriteWavHeader64(output_.Fd(), channels_ != 2, sampleRate_, bytesWritten_) != kWavWriteOk &&
        outcome.kind == CodecEvent::Finished) {
      outcome = {CodecEvent::CannotWriteOutput};
    }
    return outcome;
  }

 private:
  CodecOutcome Decode(const std::string& inputPath) {
    if (const CodecOutcome opened = Open(inputPath); opened.kind != CodecEvent::Finished) return opened;
    int result = 0;
    for (;;) {
      if (const uint32_t fault = RunGuarded([&] { result = av_read_frame(input_.get(), packet_.get()); }); fault != 0) {
        return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      }
      if (result == AVERROR_EOF) break;
      if (result < 0) return Failed("The input file is cut short or cannot be read", result);
      if (packet_->stream_index != streamIndex_) {
        av_packet_unref(packet_.get());
        continue;
      }
      const bool corrupt = (packet_->flags & AV_PKT_FLAG_CORRUPT) != 0;
      bool stop = false;
      const CodecOutcome decoded = Send(packet_.get(), stop);
      av_packet_unref(packet_.get());
      if (decoded.kind != CodecEvent::Finished) return decoded;
      // A packet the file holds only part of ends the file: the demuxer says it is cut.
      if (corrupt) return {CodecEvent::CodecFailed, 0, "The input file is cut short: its audio ends part way."};
      if (stop) return Finish(/*cancelled=*/true);
    }
    bool stop = false;
    if (const CodecOutcome flushed = Send(nullptr, stop); flushed.kind != CodecEvent::Finished) return flushed;
    return Finish(/*cancelled=*/false);
  }

  // The demuxer on an MP4 file, its audio stream (AAC or ALAC, one or two channels) and
  // the decoder for it.
  CodecOutcome Open(const std::string& inputPath) {
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!packet_ || !frame_) return {CodecEvent::OutOfMemory};
    // Only the MP4 demuxer: a file of another format is refused, not guessed at.
    const AVInputFormat* mp4 = av_find_input_format("mp4");
    if (mp4 == nullptr) return {CodecEvent::CannotInitialize};
    AVFormatContext* input = nullptr;
    int result = 0;
    if (const uint32_t fault =
            RunGuarded([&] { result = avformat_open_input(&input, inputPath.c_str(), mp4, nullptr); });
        fault != 0) {
      return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    }
    if (result < 0) return Failed("The input file cannot be read as M4A", result);
    input_.reset(input);

    streamIndex_ = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (streamIndex_ < 0) return {CodecEvent::CodecFailed, 0, "The input file holds no audio."};
    const AVCodecParameters* par = input_->streams[streamIndex_]->codecpar;
    if (par->codec_id != AV_CODEC_ID_AAC && par->codec_id != AV_CODEC_ID_ALAC) {
      detail_ = std::string("The audio of the input file is ") + avcodec_get_name(par->codec_id) +
                ", not AAC or ALAC.";
      return {CodecEvent::CodecFailed, 0, detail_.c_str()};
    }
    if (const CodecOutcome channels = CheckChannels(par->ch_layout.nb_channels);
        channels.kind != CodecEvent::Finished) {
      return channels;
    }
    if (par->ch_layout.nb_channels > 0) channels_ = par->ch_layout.nb_channels;
    if (par->sample_rate > 0) sampleRate_ = static_cast<uint32_t>(par->sample_rate);
    // Everything but the one stream is passed over unread.
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
      if (static_cast<int>(i) != streamIndex_) input_->streams[i]->discard = AVDISCARD_ALL;
    }

    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (codec == nullptr) return {CodecEvent::CannotInitialize};
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) return {CodecEvent::OutOfMemory};
    if (avcodec_parameters_to_context(decoder_.get(), par) < 0) return {CodecEvent::OutOfMemory};
    decoder_->pkt_timebase = input_->streams[streamIndex_]->time_base;
    if (const uint32_t fault = RunGuarded([&] { result = avcodec_open2(decoder_.get(), codec, nullptr); });
        fault != 0) {
      return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    }
    if (result == AVERROR(ENOMEM)) return {CodecEvent::OutOfMemory};
    if (result < 0) return Failed("The audio of the input file cannot be decoded", result);
    return {CodecEvent::Finished};
  }

  CodecOutcome CheckChannels(int channels) {
    if (channels <= 2) return {CodecEvent::Finished};
    detail_ = "The input file has " + std::to_string(channels) + " channels; only mono and stereo are decoded.";
    return {CodecEvent::CodecFailed, 0, detail_.c_str()};
  }

  // Hands one packet (null: the end of the stream) to the decoder and writes what comes
  // out. A packet the decoder refuses is counted as damaged and left out, as ffmpeg leaves
  // it out; Finish judges the count. `stop` is set when the host answers a progress event
  // with "stop".
  CodecOutcome Send(const AVPacket* packet, bool& stop) {
    int result = 0;
    if (const uint32_t fault = RunGuarded([&] { result = avcodec_send_packet(decoder_.get(), packet); });
        fault != 0) {
      return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    }
    if (packet != nullptr) ++packets_;
    if (result == AVERROR(ENOMEM)) return {CodecEvent::OutOfMemory};
    bool damaged = result < 0 && result != AVERROR_EOF;
    while (result >= 0 || result == AVERROR_EOF) {
      if (const uint32_t fault = RunGuarded([&] { result = avcodec_receive_frame(decoder_.get(), frame_.get()); });
          fault != 0) {
        return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      }
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
      if (result == AVERROR(ENOMEM)) return {CodecEvent::OutOfMemory};
      if (result < 0) {
        damaged = true;
        break;
      }
      const CodecOutcome written = WriteFrame(*frame_);
      av_frame_unref(frame_.get());
      if (written.kind != CodecEvent::Finished) return written;
      if (bytesWritten_ >= nextProgressBytes_) {
        nextProgressBytes_ = bytesWritten_ + uint64_t{sampleRate_} * channels_;  // half a second on
        if (ReportCodecEvent(record_, callback_, CodecEvent::Progress, ClampToInt32(bytesWritten_)) != 0) stop = true;
      }
    }
    if (damaged) {
      ++damagedPackets_;
      // The decoder's complaint about this packet is no reason for a later failure.
      capture_.Clear();
    }
    return {CodecEvent::Finished};
  }

  // Converts one decoded frame to 16-bit interleaved samples and appends them to the WAV.
  // The converter is set up by the first frame; a later frame of another layout or rate
  // would need another WAV and is refused.
  CodecOutcome WriteFrame(AVFrame& frame) {
    const int channels = frame.ch_layout.nb_channels;
    if (!converter_) {
      if (const CodecOutcome checked = CheckChannels(channels); checked.kind != CodecEvent::Finished) return checked;
      if (channels < 1 || frame.sample_rate <= 0) {
        return {CodecEvent::CodecFailed, 0, "The audio of the input file has no channels or no sample rate."};
      }
      SwrContext* swr = nullptr;
      if (swr_alloc_set_opts2(&swr, &frame.ch_layout, AV_SAMPLE_FMT_S16, frame.sample_rate, &frame.ch_layout,
                              static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr) < 0 ||
          swr == nullptr) {
        return {CodecEvent::OutOfMemory};
      }
      converter_.reset(swr);
      if (const int result = swr_init(swr); result < 0) return Failed("The audio cannot be converted", result);
      channels_ = channels;
      sampleRate_ = static_cast<uint32_t>(frame.sample_rate);
      format_ = frame.format;
    } else if (channels != channels_ || static_cast<uint32_t>(frame.sample_rate) != sampleRate_ ||
               frame.format != format_) {
      return {CodecEvent::CodecFailed, 0, "The audio of the input file changes its format part way."};
    }
    try {
      samples_.resize(static_cast<size_t>(frame.nb_samples) * channels_);
    } catch (const std::bad_alloc&) {
      return {CodecEvent::OutOfMemory};
    }
    auto* out = reinterpret_cast<uint8_t*>(samples_.data());
    const int converted =
        swr_convert(converter_.get(), &out, frame.nb_samples, const_cast<const uint8_t**>(frame.extended_data),
                    frame.nb_samples);
    if (converted < 0) return Failed("The audio cannot be converted", converted);
    const size_t bytes = static_cast<size_t>(converted) * channels_ * sizeof(int16_t);
    if (!output_.WriteAll(samples_.data(), bytes)) return {CodecEvent::CannotWriteOutput};
    bytesWritten_ += bytes;
    ++decodedFrames_;
    return {CodecEvent::Finished};
  }

  // The verdict at the end of the audio (or at a cancel): damaged packets within the
  // limit are a warning, more fail the decode.
  CodecOutcome Finish(bool cancelled) {
    if (packets_ == 0 && !cancelled) return {CodecEvent::CodecFailed, 0, "The input file holds no audio."};
    if (damagedPackets_ == 0) return {CodecEvent::Finished};
    const std::string tally = std::to_string(damagedPackets_) + " of " + std::to_string(packets_) + " audio frames";
    if (decodedFrames_ == 0 && !cancelled) {
      detail_ = "No audio of the input file decodes (" + tally + " are damaged).";
      return {CodecEvent::CodecFailed, 0, detail_.c_str()};
    }
    if (damagedPackets_ * kDamagedShareLimit > packets_) {
      detail_ = "The input file is too damaged: " + tally + " did not decode.";
      return {CodecEvent::CodecFailed, 0, detail_.c_str()};
    }
    warning_ = "Left out " + tally + " that did not decode.";
    ReportCodecEvent(record_, callback_, CodecEvent::Warning, 0, warning_.c_str());
    return {CodecEvent::Finished};
  }

  // Kind 11 with "<what>: <the library's reason>." as its detail.
  CodecOutcome Failed(const char* what, int averror) {
    detail_ = std::string(what) + ": " + LibavErrorText(averror, capture_) + ".";
    return {CodecEvent::CodecFailed, 0, detail_.c_str()};
  }

  CodecFile& output_;
  void* record_;
  CodecStatusCallback callback_;
  LibavErrorCapture capture_;
  std::string detail_;   // what the final event's detail points at
  std::string warning_;
  AvInputPtr input_;
  AvCodecContextPtr decoder_;
  SwrPtr converter_;
  AvPacketPtr packet_;
  AvFramePtr frame_;
  std::vector<int16_t> samples_;
  int streamIndex_ = -1;
  int channels_ = 2;
  uint32_t sampleRate_ = 44100;
  int format_ = -1;
  uint64_t packets_ = 0;
  uint64_t damagedPackets_ = 0;
  uint64_t decodedFrames_ = 0;
  uint64_t bytesWritten_ = 0;
  uint64_t nextProgressBytes_ = 0;
};

}  // namespace

void DecodeM4aFile(const std::string& inputPath, const std::string& outputPath, void* record,
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
  CodecOutcome outcome{CodecEvent::CodecFailed};
  std::string detail;
  {
    M4aDecodeRun run(output, record, callback);
    outcome = run.Run(inputPath);
    // The run's detail text goes with it; the final event is reported after its clean-up.
    if (outcome.detail != nullptr) {
      detail = outcome.detail;
      outcome.detail = detail.c_str();
    }
  }
  if (!output.Close() && outcome.kind == CodecEvent::Finished) outcome = {CodecEvent::CannotWriteOutput};
  ReportCodecEvent(record, callback, outcome);
}
