// EncodeM4aFile over libavcodec's native AAC encoder and libavformat's MP4 muxer.
#include "maker/codec/m4a_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <string>
#include <vector>

#include "common/fault_guard.h"
#include "common/wav_header.h"
#include "maker/codec/codec_file.h"
#include "maker/codec/encoder_input.h"
#include "maker/codec/libav_support.h"

namespace {

// The AAC encoder takes 1024 sample frames at a time; progress and the cancel check come
// after every 8 of them, under a second of audio at every accepted rate.
constexpr int kCodecFramesPerProgress = 8;
constexpr int kIoBufferBytes = 64 * 1024;

// The output file as the muxer's I/O: what it writes and where it seeks go to the file,
// and a refused write is remembered so that it is told apart from the encoder's failures.
struct OutputSink {
  CodecFile* file = nullptr;
  int writeErrno = 0;
};

int WriteToSink(void* opaque, uint8_t* data, int bytes) {
  auto& sink = *static_cast<OutputSink*>(opaque);
  if (bytes < 0 || !sink.file->WriteAll(data, static_cast<size_t>(bytes))) {
    if (sink.writeErrno == 0) sink.writeErrno = errno != 0 ? errno : EIO;
    return AVERROR(sink.writeErrno);
  }
  return bytes;
}

int64_t SeekSink(void* opaque, int64_t offset, int whence) {
  auto& sink = *static_cast<OutputSink*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) {
    const off_t size = sink.file->Size();
    return size >= 0 ? size : AVERROR(errno);
  }
  const off_t at = ::lseek(sink.file->Fd(), static_cast<off_t>(offset), whence);
  return at >= 0 ? at : AVERROR(errno);
}

// One encode with its resources; members are released in the reverse order, the library's
// objects before the files they write to.
class M4aEncodeRun {
 public:
  M4aEncodeRun(void* record, CodecStatusCallback callback) : record_(record), callback_(callback) {
    QuietLibavLog();
  }

  CodecOutcome Run(const std::string& inputPath, const std::string& outputPath, const M4aEncodeOptions& options) {
    CodecOutcome outcome = Encode(inputPath, outputPath, options);
    // A refused write makes the library fail too: the file is the cause.
    if (sink_.writeErrno != 0 && outcome.kind != CodecEvent::CannotCreateOutput) {
      outcome = {CodecEvent::CannotWriteOutput};
    }
    packet_.reset();
    frame_.reset();
    encoder_.reset();
    muxer_.reset();
    io_.reset();
    if (out_.Valid() && !out_.Close() && outcome.kind == CodecEvent::Finished) {
      outcome = {CodecEvent::CannotWriteOutput};
    }
    in_.Close();
    return outcome;
  }

 private:
  CodecOutcome Encode(const std::string& inputPath, const std::string& outputPath, const M4aEncodeOptions& options) {
    in_ = CodecFile::OpenForReading(inputPath);
    if (!in_.Valid()) return {CodecEvent::CannotOpenInput};
    WavFormatInfo wav;
    if (ReadWavHeader(in_.Fd(), wav) != kWavReadOk) return {CodecEvent::InvalidWavHeader};
    if (const CodecOutcome input = CheckEncoderInput(wav); input.kind != CodecEvent::Finished) return input;
    // Checked before the output exists, so a refused input leaves no empty file behind.
    if (wav.channels > 2) return {CodecEvent::CodecFailed, 0, "M4A files are written with one or two channels."};
    channels_ = wav.channels;
    out_ = CodecFile::CreateForWriting(outputPath);
    if (!out_.Valid()) return {CodecEvent::CannotCreateOutput, errno};

    if (const CodecOutcome opened = OpenEncoder(wav.sampleRate, options.bitRate);
        opened.kind != CodecEvent::Finished) {
      return opened;
    }
    int result = 0;
    if (const uint32_t fault = RunGuarded([&] { result = avformat_write_header(muxer_.get(), nullptr); }); fault != 0) {
      return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    }
    if (result < 0) return Failed("The M4A file cannot be started", result);

    const uint64_t totalFrames = wav.dataBytes / (static_cast<uint64_t>(channels_) * 2);
    const int codecFrame = encoder_->frame_size;
    std::vector<int16_t> pcm;
    try {
      pcm.resize(static_cast<size_t>(codecFrame) * channels_);
    } catch (const std::bad_alloc&) {
      return {CodecEvent::OutOfMemory};
    }
    uint64_t framesRead = 0;
    int64_t codecFrames = 0;
    while (framesRead < totalFrames) {
      const auto want = static_cast<size_t>(std::min<uint64_t>(totalFrames - framesRead, codecFrame));
      const ssize_t got = in_.ReadUpTo(pcm.data(), want * channels_ * sizeof(int16_t));
      if (got < 0) return {CodecEvent::CannotReadInput};
      const auto frames = static_cast<int>(static_cast<size_t>(got) / (channels_ * sizeof(int16_t)));
      if (frames == 0) break;  // the file ends before its data chunk says
      if (const CodecOutcome sent = SendFrames(pcm.data(), frames, static_cast<int64_t>(framesRead));
          sent.kind != CodecEvent::Finished) {
        return sent;
      }
      framesRead += static_cast<uint64_t>(frames);
      if (++codecFrames % kCodecFramesPerProgress == 0 &&
          ReportCodecEvent(record_, callback_, CodecEvent::Progress,
                           static_cast<int32_t>(framesRead * 10000 / totalFrames)) != 0) {
        break;  // a cancel: the file ends where the input stopped being read
      }
    }
    if (const CodecOutcome flushed = SendFrames(nullptr, 0, 0); flushed.kind != CodecEvent::Finished) {
      return flushed;
    }
    if (const uint32_t fault = RunGuarded([&] { result = av_write_trailer(muxer_.get()); }); fault != 0) {
      return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    }
    if (result < 0) return Failed("The M4A file cannot be finished", result);
    return {CodecEvent::Finished};
  }

  // The encoder, the muxer with one AAC stream, and the I/O over the output file.
  CodecOutcome OpenEncoder(uint32_t sampleRate, int bitRate) {
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (codec == nullptr) return {CodecEvent::CannotInitialize};
    AVFormatContext* muxer = nullptr;
    // The MP4 flavour for audio files: brand "M4A ", the edit list that hides the
    // encoder's priming samples.
    if (avformat_alloc_output_context2(&muxer, nullptr, "ipod", nullptr) < 0 || muxer == nullptr) {
      return {CodecEvent::OutOfMemory};
    }
    muxer_.reset(muxer);
    // The edit list counts in the movie's time scale: in samples it is exact, in the
    // default milliseconds a file shows up to a millisecond less than its audio.
    av_opt_set_int(muxer_->priv_data, "movie_timescale", sampleRate, 0);
    encoder_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!encoder_ || !frame_ || !packet_) return {CodecEvent::OutOfMemory};

    AVCodecContext* c = encoder_.get();
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = static_cast<int>(sampleRate);
    av_channel_layout_default(&c->ch_layout, channels_);
    c->time_base = AVRational{1, c->sample_rate};
    c->bit_rate = int64_t{bitRate} * 1000;
    c->profile = FF_PROFILE_AAC_LOW;
    if ((muxer_->oformat->flags & AVFMT_GLOBALHEADER) != 0) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = 0;
    if (const uint32_t fault = RunGuarded([&] { result = avcodec_open2(c, codec, nullptr); }); fault != 0) {
      return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    }
    if (result == AVERROR(ENOMEM)) return {CodecEvent::OutOfMemory};
    if (result < 0 || c->frame_size <= 0) return {CodecEvent::CannotInitialize};

    stream_ = avformat_new_stream(muxer_.get(), nullptr);
    if (stream_ == nullptr) return {CodecEvent::OutOfMemory};
    stream_->time_base = c->time_base;
    if (avcodec_parameters_from_context(stream_->codecpar, c) < 0) return {CodecEvent::OutOfMemory};

    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer == nullptr) return {CodecEvent::OutOfMemory};
    sink_.file = &out_;
    io_.reset(avio_alloc_context(buffer, kIoBufferBytes, /*write_flag=*/1, &sink_, nullptr, WriteToSink, SeekSink));
    if (!io_) {
      av_free(buffer);
      return {CodecEvent::OutOfMemory};
    }
    muxer_->pb = io_.get();
    return {CodecEvent::Finished};
  }

  // Hands `frames` sample frames (starting at frame `position` of the input) to the encoder,
  // or the end of the stream when pcm is null, and writes every packet it gives back.
  CodecOutcome SendFrames(const int16_t* pcm, int frames, int64_t position) {
    AVFrame* f = nullptr;
    if (pcm != nullptr) {
      f = frame_.get();
      av_frame_unref(f);
      f->format = AV_SAMPLE_FMT_FLTP;
      f->sample_rate = encoder_->sample_rate;
      f->nb_samples = frames;
      f->pts = position;
      if (av_channel_layout_copy(&f->ch_layout, &encoder_->ch_layout) < 0 || av_frame_get_buffer(f, 0) < 0) {
        return {CodecEvent::OutOfMemory};
      }
      for (int ch = 0; ch < channels_; ++ch) {
        auto* plane = reinterpret_cast<float*>(f->extended_data[ch]);
        for (int i = 0; i < frames; ++i) plane[i] = static_cast<float>(pcm[i * channels_ + ch]) * (1.0f / 32768.0f);
      }
    }
    int result = 0;
    if (const uint32_t fault = RunGuarded([&] { result = avcodec_send_frame(encoder_.get(), f); }); fault != 0) {
      return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
    }
    if (result == AVERROR(ENOMEM)) return {CodecEvent::OutOfMemory};
    if (result < 0) return Failed("The AAC encoder refused the audio", result);
    for (;;) {
      if (const uint32_t fault = RunGuarded([&] { result = avcodec_receive_packet(encoder_.get(), packet_.get()); });
          fault != 0) {
        return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      }
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return {CodecEvent::Finished};
      if (result == AVERROR(ENOMEM)) return {CodecEvent::OutOfMemory};
      if (result < 0) return Failed("The AAC encoder failed on the audio", result);
      av_packet_rescale_ts(packet_.get(), encoder_->time_base, stream_->time_base);
      packet_->stream_index = stream_->index;
      // The muxer takes the packet's data over and leaves it blank.
      if (const uint32_t fault =
              RunGuarded([&] { result = av_interleaved_write_frame(muxer_.get(), packet_.get()); });
          fault != 0) {
        return {CodecEvent::CodecFailed, static_cast<int32_t>(fault)};
      }
      if (result < 0) return Failed("The M4A file cannot take the audio", result);
    }
  }

  // Kind 11 with "<what>: <the library's reason>." as its detail (a refused write is
  // turned into kind 3 by Run).
  CodecOutcome Failed(const char* what, int averror) {
    detail_ = std::string(what) + ": " + LibavErrorText(averror, capture_) + ".";
    return {CodecEvent::CodecFailed, 0, detail_.c_str()};
  }

  void* record_;
  CodecStatusCallback callback_;
  std::string detail_;  // what the final event's detail points at
  LibavErrorCapture capture_;
  CodecFile in_;
  CodecFile out_;
  OutputSink sink_;
  int channels_ = 2;
  AvIoContextPtr io_;
  AvOutputPtr muxer_;
  AVStream* stream_ = nullptr;  // owned by muxer_
  AvCodecContextPtr encoder_;
  AvFramePtr frame_;
  AvPacketPtr packet_;
};

}  // namespace

void EncodeM4aFile(const std::string& inputPath, const std::string& outputPath, const M4aEncodeOptions& options,
                   void* record, CodecStatusCallback callback) {
  CodecOutcome outcome{CodecEvent::CodecFailed};
  std::string detail;
  {
    M4aEncodeRun run(record, callback);
    outcome = run.Run(inputPath, outputPath, options);
    // The run's detail text goes with it; the final event is reported after its clean-up.
    if (outcome.detail != nullptr) {
      detail = outcome.detail;
      outcome.detail = detail.c_str();
    }
  }
  ReportCodecEvent(record, callback, outcome);
}
