// TMediaPlayer: the worker that decodes through libavformat and libavcodec into the buffer
// ring.
#include "player/engines/media_player.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/file_uri_path.h"
#include "common/outside_text.h"
#include "player/engines/media_input.h"
#include "player/engines/playback_gain.h"

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libswresample/swresample.h>
}

namespace {

struct ResamplerFreer {
  void operator()(SwrContext* context) const { swr_free(&context); }
};

// Decoded frames to interleaved 16-bit PCM in the output's layout (mono, else stereo) and
// rate. Frames that are already 16-bit interleaved mono or stereo are copied as they are
// (lossless 16-bit input reaches the output bit for bit); others go through libswresample,
// which also mixes more channels down to two. A frame whose format differs from the last
// (a chained Ogg stream) gets a converter of its own.
class PcmConverter {
 public:
  PcmConverter(int outChannels, int outRate) : outChannels_(outChannels), outRate_(outRate) {
    av_channel_layout_default(&outLayout_, outChannels);
  }
  ~PcmConverter() {
    av_channel_layout_uninit(&outLayout_);
    av_channel_layout_uninit(&inLayout_);
  }
  PcmConverter(const PcmConverter&) = delete;
  PcmConverter& operator=(const PcmConverter&) = delete;

  // Appends the frame's samples to out; returns the frames appended, or a negative
  // libswresample error.
  int Convert(const AVFrame* frame, std::vector<uint8_t>& out) {
    const int channels = frame->ch_layout.nb_channels;
    const size_t frameBytes = size_t(outChannels_) * 2;
    if (frame->format == AV_SAMPLE_FMT_S16 && channels == outChannels_ && frame->sample_rate == outRate_) {
      const size_t bytes = size_t(frame->nb_samples) * frameBytes;
      out.insert(out.end(), frame->data[0], frame->data[0] + bytes);
      return frame->nb_samples;
    }
    if (!resampler_ || frame->format != inFormat_ || frame->sample_rate != inRate_ ||
        av_channel_layout_compare(&frame->ch_layout, &inLayout_) != 0) {
      const int made = Rebuild(frame);
      if (made < 0) return made;
    }
    const int room = swr_get_out_samples(resampler_.get(), frame->nb_samples);
    if (room < 0) return room;
    const size_t at = out.size();
    out.resize(at + size_t(room) * frameBytes);
    uint8_t* target = out.data() + at;
    const int got = swr_convert(resampler_.get(), &target, room, const_cast<const uint8_t**>(frame->extended_data),
                                frame->nb_samples);
    out.resize(at + size_t(std::max(got, 0)) * frameBytes);
    return got;
  }

 private:
  int Rebuild(const AVFrame* frame) {
    av_channel_layout_uninit(&inLayout_);
    int result = av_channel_layout_copy(&inLayout_, &frame->ch_layout);
    if (result < 0) return result;
    // A layout the decoder left unspecified gets the usual one for its channel count, so
    // that libswresample can build a mixing matrix.
    if (inLayout_.order == AV_CHANNEL_ORDER_UNSPEC) {
      const int channels = inLayout_.nb_channels;
      av_channel_layout_uninit(&inLayout_);
      av_channel_layout_default(&inLayout_, channels);
    }
    inFormat_ = frame->format;
    inRate_ = frame->sample_rate;
    SwrContext* raw = nullptr;
    result = swr_alloc_set_opts2(&raw, &outLayout_, AV_SAMPLE_FMT_S16, outRate_, &inLayout_,
                                 AVSampleFormat(inFormat_), inRate_, 0, nullptr);
    resampler_.reset(raw);
    if (result < 0) return result;
    return swr_init(resampler_.get());
  }

  int outChannels_;
  int outRate_;
  AVChannelLayout outLayout_{};
  AVChannelLayout inLayout_{};
  int inFormat_ = -1;
  int inRate_ = 0;
  std::unique_ptr<SwrContext, ResamplerFreer> resampler_;
};

// Decoder errors in a row (packets refused, frames not made) after which the input counts
// as holding no audio that can be decoded.
constexpr int kMaxDecodeErrorsInRow = 500;

// Frames decoded before a seek's target and dropped, so that a lossy decoder has settled
// by the target: the codec's own figure, else the longest transform block of the codecs
// this engine meets; lossless codecs need none.
uint64_t PrerollFrames(const AVCodecParameters* codec) {
  if (codec->seek_preroll > 0) return uint64_t(codec->seek_preroll);
  if (const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec->codec_id);
      descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_LOSSLESS) != 0) {
    return 0;
  }
  return 8192;
}

// The title a stream's tags give ("Artist - Title", or either alone); "" when none.
std::string StreamTitle(const AVDictionary* tags) {
  const AVDictionaryEntry* artist = av_dict_get(tags, "artist", nullptr, 0);
  const AVDictionaryEntry* title = av_dict_get(tags, "title", nullptr, 0);
  std::string text = artist != nullptr ? artist->value : "";
  if (title != nullptr && *title->value != '\0') {
    if (!text.empty()) text += " - ";
    text += title->value;
  }
  return ShowableText(text);
}

}  // namespace

bool ProbeMedia(const EngineFile& file) {
  if (file.fd >= 0) {
    // Read with pread: the offset stays where the table put it for the probes after this
    // one. A FLAC stream behind an ID3v2 tag counts as FLAC.
    switch (SniffAudioFdFormat(file.fd)) {
      case AudioFileFormat::Flac:
      case AudioFileFormat::OggVorbis:
      case AudioFileFormat::Opus:
      case AudioFileFormat::M4a:
        return true;
      case AudioFileFormat::Unknown:
      case AudioFileFormat::Wav:
      case AudioFileFormat::Mp3:
      case AudioFileFormat::Aac:
        return false;
    }
    return false;
  }
  if (!IsHttpUrl(file.name)) return false;
  const std::string path = file.name.substr(0, file.name.find_first_of("?#"));
  for (const char* suffix : {".ogg", ".oga", ".opus", ".flac"}) {
    const size_t n = std::strlen(suffix);
    if (path.size() >= n && strcasecmp(path.c_str() + path.size() - n, suffix) == 0) return true;
  }
  return false;
}

std::unique_ptr<TPlayerEngine> MakeMediaPlayer(MainLoop& loop) { return std::make_unique<Worker<TMediaPlayer>>(loop); }

void TMediaPlayer::Open(const std::string& name) { fileName_ = LocalName(name); }

void TMediaPlayer::Seek(int offset, int) { seekRequest_ = offset < 0 ? 0 : offset; }

void TMediaPlayer::Run() {
  running_ = true;
  if (PlayInput() && !Terminated()) slots_->OnNotifyPlayerState(this, kPlayerStateEndOfStream);
  CloseOutput();
  running_ = false;
}

bool TMediaPlayer::PlayInput() {
  auto opened = MediaInput::Open(fileName_, TerminatedFlag());
  if (!opened) {
    if (!Terminated()) ReportError(opened.Error().text);
    return false;
  }
  MediaInput& input = *opened.Value();
  AVFormatContext* format = input.Format();
  AVCodecContext* decoder = input.Decoder();
  AVStream* stream = input.Stream();
  const int rate = decoder->sample_rate;
  const int inChannels = decoder->ch_layout.nb_channels;
  const int channels = inChannels == 1 ? 1 : 2;
  const AudioFormat outFormat{uint32_t(rate), uint16_t(channels), 16};
  if (!outFormat.Valid()) {
    ReportError("Cannot play " + fileName_ + ": " + std::to_string(inChannels) + " channels at " +
                std::to_string(rate) + " Hz are not supported");
    return false;
  }
  const bool url = IsHttpUrl(fileName_);
  if (!url) SetPlaybackGain(PlaybackGainFor(fileName_, input.Sniffed()));
  if (!OpenOutput(outFormat)) return false;

  const auto kbits = uint16_t(std::min<int64_t>(input.BitRate() / 1000, 0xFFFF));
  slots_->OnNotifyInputStreamInfo(this, uint8_t(0), uint8_t(0), kbits, uint16_t(rate), uint8_t(channels == 1 ? 3 : 0));
  const uint64_t totalFrames = input.TotalFrames();
  const uint32_t totalSeconds = uint32_t(totalFrames / uint64_t(rate));
  slots_->OnNotifyInputPosition(this, uint32_t(0), totalSeconds);

  const size_t frameBytes = outFormat.BytesPerFrame();
  // Time stamps count from the stream's start (the first sample heard is 0 once the
  // decoder has left out the encoder delay).
  const AVRational sampleBase{1, rate};
  const int64_t startTs = stream->start_time != AV_NOPTS_VALUE && stream->start_time > 0 ? stream->start_time : 0;
  uint64_t heardFrom = 0;     // frames of the audio heard before the queue started (a seek)
  int64_t lastReported = -1;  // seconds reported while the tail plays
  // The position of what the device has played, not of what has been decoded: the ring
  // runs up to a second and a half ahead of the sound.
  auto report = [&](bool always) {
    if (!slots_->OnNotifyInputTimecode.Assigned() && !slots_->OnNotifyInputPosition.Assigned()) return;
    const uint32_t s = uint32_t((heardFrom + HeardBytes() / frameBytes) / uint64_t(rate));
    if (!always && int64_t(s) == lastReported) return;
    lastReported = s;
    slots_->OnNotifyInputTimecode(this, uint8_t(s / 3600), uint8_t(s / 60 % 60), uint8_t(s % 60), uint8_t(0));
    slots_->OnNotifyInputPosition(this, s, totalSeconds);
  };

  // A stream over the network names the title it plays, and each next one (a station
  // sends its titles as chained Ogg streams, each with its own tags).
  std::string lastTitle;
  auto nameTitle = [&](std::string title) {
    if (title.empty() || title == lastTitle) return;
    lastTitle = title;
    slots_->OnNotifyInputName(this, title);
  };
  if (url) nameTitle(StreamTitle(stream->metadata));

  PcmConverter converter(channels, rate);
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  if (!packet || !frame) {
    ReportError("Cannot play " + fileName_ + ": out of memory");
    return false;
  }
  std::vector<uint8_t> pending;  // converted samples not yet in a buffer
  pending.reserve(64 * 1024);
  size_t pendingAt = 0;
  uint64_t nextFrame = 0;   // the stream's frame the next decoded frame starts at
  uint64_t dropBefore = 0;  // frames before this (a seek's target) are not heard
  // An MP4 file states its length in its edit list, an Ogg Vorbis file in its last
  // granule position; libavformat keeps the encoder's padding (MP4) or trims it wrongly
  // (Vorbis): the audio is cut here at that length, so that the next file joins on
  // without a gap.
  const bool cutAtLength = input.Sniffed() == AudioFileFormat::M4a || input.TrimsManually();
  const uint64_t keepEnd = cutAtLength && totalFrames > 0 ? totalFrames : UINT64_MAX;
  bool pastEnd = false;  // the stated end reached: nothing more is decoded
  bool inputEnded = false;  // no more packets: the decoder is being drained
  bool streamEnded = false;
  bool decodedAny = false;  // or sought: a seek past the end decodes nothing
  int errorsInRow = 0;
  int failure = 0;  // a read error of a stream that ends the playback
  int64_t timeShift = 0;  // frames the container's dates run ahead of the audio (Ogg Vorbis)
  bool timeShiftKnown = false;

  // Decodes the next frame into pending (what is heard of it); false at the end of the
  // stream or on a failure (failure set).
  auto decodeMore = [&]() -> bool {
    for (;;) {
      if (Terminated() || pastEnd) return false;
      int result = avcodec_receive_frame(decoder, frame.get());
      if (result == 0) {
        errorsInRow = 0;
        decodedAny = true;
        const int64_t ts = frame->best_effort_timestamp;
        if (ts != AV_NOPTS_VALUE) {
          int64_t at = av_rescale_q(ts - startTs, stream->time_base, sampleBase);
          // libavformat dates an Ogg Vorbis file's frames later than their audio by the
          // first packet's length (that packet gives no audio): the first frame holds the
          // stream's first sample, and every later date is moved back by as much.
          if (input.TrimsManually()) {
            if (!timeShiftKnown) {
              timeShift = at - int64_t(nextFrame);
              timeShiftKnown = true;
            }
            at -= timeShift;
          }
          nextFrame = uint64_t(std::max<int64_t>(0, at));
        }
        // With the trim left to this engine, the delay the frame states is dropped here
        // (its end padding is cut at the stated length below).
        uint64_t delay = 0;
        if (input.TrimsManually()) {
          if (const AVFrameSideData* side = av_frame_get_side_data(frame.get(), AV_FRAME_DATA_SKIP_SAMPLES);
              side != nullptr && side->size >= 4) {
            delay = AV_RL32(side->data);
          }
        }
        const size_t at = pending.size();
        int frames = converter.Convert(frame.get(), pending);
        av_frame_unref(frame.get());
        if (frames < 0) {
          failure = frames;
          return false;
        }
        if (delay > 0) {
          const size_t dropped = size_t(std::min<uint64_t>(delay, uint64_t(frames)));
          pending.erase(pending.begin() + ptrdiff_t(at), pending.begin() + ptrdiff_t(at + dropped * frameBytes));
          frames -= int(dropped);
        }
        // The frame's stretch of the stream that is heard: not what lies before a seek's
        // target (so the seek is exact), not what lies past the stated end.
        const uint64_t from = nextFrame;
        nextFrame += uint64_t(frames);
        const uint64_t keepFrom = std::max(from, dropBefore);
        const uint64_t keepTo = std::min(nextFrame, keepEnd);
        const size_t kept = keepTo > keepFrom ? size_t(keepTo - keepFrom) * frameBytes : 0;
        const size_t skip = size_t(std::min(keepFrom - from, uint64_t(frames))) * frameBytes;
        if (skip > 0) pending.erase(pending.begin() + ptrdiff_t(at), pending.begin() + ptrdiff_t(at + skip));
        pending.resize(at + kept);
        pastEnd = nextFrame >= keepEnd;
        if (kept > 0) return true;
        continue;
      }
      if (result == AVERROR_EOF) return false;
      if (result != AVERROR(EAGAIN)) {
        // A frame the decoder could not make: skipped, as ffmpeg does.
        if (++errorsInRow > kMaxDecodeErrorsInRow) return false;
      }
      if (inputEnded) {
        if (result != AVERROR(EAGAIN)) continue;
        return false;
      }
      result = av_read_frame(format, packet.get());
      if (result < 0) {
        if (Terminated()) return false;
        // A file ends at its end or where it breaks off. A stream of unknown length ends
        // where the server closes it (libavformat's http calls that EIO); one that stalls,
        // or breaks off before the length it stated, is an error.
        const bool closed = result == AVERROR_EOF || (result == AVERROR(EIO) && input.Live());
        if (!closed && url) {
          failure = result;
          return false;
        }
        inputEnded = true;
        avcodec_send_packet(decoder, nullptr);
        continue;
      }
      // The tags of a chained stream's next part come with its first packet (the
      // stream's own tags gather those of every part).
      size_t tagBytes = 0;
      if (const uint8_t* tags = av_packet_get_side_data(packet.get(), AV_PKT_DATA_METADATA_UPDATE, &tagBytes);
          url && tags != nullptr) {
        AVDictionary* unpacked = nullptr;
        if (av_packet_unpack_dictionary(tags, tagBytes, &unpacked) == 0) nameTitle(StreamTitle(unpacked));
        av_dict_free(&unpacked);
      }
      if (packet->stream_index == input.StreamIndex()) {
        result = avcodec_send_packet(decoder, packet.get());
        // A packet the decoder refuses is skipped and play goes on.
        if (result < 0 && result != AVERROR(EAGAIN) && ++errorsInRow > kMaxDecodeErrorsInRow) {
          av_packet_unref(packet.get());
          return false;
        }
      }
      av_packet_unref(packet.get());
    }
  };

  // The first frame tells how the container's dates lie against the audio; it must be
  // the stream's first, so it is decoded before any seek is taken.
  if (input.TrimsManually()) (void)decodeMore();
  for (;;) {
    if (const int seek = seekRequest_.exchange(-1); seek >= 0 && input.Seekable()) {
      DiscardQueued();
      decodedAny = true;
      const uint64_t target = uint64_t(seek) * uint64_t(rate);
      pending.clear();
      pendingAt = 0;
      if (totalFrames > 0 && target >= totalFrames) {
        streamEnded = true;
        heardFrom = totalFrames;
      } else {
        // To the packet at or before the target, a little earlier for a lossy codec: its
        // decoder starts afresh there and needs that much before its output is the
        // stream's (overlapping transforms).
        const uint64_t preroll = std::min(target, PrerollFrames(stream->codecpar));
        const int64_t ts = startTs + av_rescale_q(int64_t(target - preroll) + timeShift, sampleBase, stream->time_base);
        const int result = av_seek_frame(format, input.StreamIndex(), ts, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(decoder);
        inputEnded = false;
        pastEnd = false;
        streamEnded = result < 0 && totalFrames == 0;
        if (result < 0 && !streamEnded) {
          // The container has no index to find it by: from the start, dropping up to it.
          (void)av_seek_frame(format, input.StreamIndex(), startTs, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
          avcodec_flush_buffers(decoder);
        }
        nextFrame = 0;
        dropBefore = target;
        heardFrom = target;
      }
    }
    report(/*always=*/true);
    if (!WaitWhileSuspended()) return true;
    int i = 0;
    if (!NextFreeBuffer(&i)) return true;
    uint8_t* buffer = Buffer(i);
    const size_t usable = UsableBytes();
    size_t filled = 0;
    while (filled < usable) {
      if (pendingAt < pending.size()) {
        const size_t n = std::min(usable - filled, pending.size() - pendingAt);
        std::memcpy(buffer + filled, pending.data() + pendingAt, n);
        filled += n;
        pendingAt += n;
        continue;
      }
      pending.clear();
      pendingAt = 0;
      if (streamEnded || !decodeMore()) {
        streamEnded = true;
        break;
      }
    }
    if (failure != 0 && !Terminated()) {
      ReportError(input.ErrorText(failure));
      return false;
    }
    if (filled > 0) QueueBuffer(i, filled);
    if (Terminated()) return true;
    if (streamEnded && pendingAt >= pending.size()) break;
  }
  if (!decodedAny) {
    ReportError("Cannot play " + fileName_ + ": it holds no audio that can be decoded");
    return false;
  }
  DrainQueued([&] { report(/*always=*/false); });
  return true;
}
