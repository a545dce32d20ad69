// TAACPlayer: the worker that decodes into the buffer ring.
#include "player/engines/aac_player.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "aaclib/zbaaclib.h"
#include "common/fault_guard.h"
#include "common/library_loader.h"
#include "common/regular_file.h"
#include "common/unique_fd.h"
#include "player/engines/playback_gain.h"

namespace {

constexpr size_t kBlockPeriods = ZBAAC_OUTPUT_SAMPLES / 2;

// The name the library opens the file by: the descriptor already checked to be a regular
// file, so that a FIFO or device put in the file's place meanwhile cannot hold the
// library's own open; the file name itself where /proc is not there.
std::string LibraryName(int fd, const std::string& fileName) {
  const std::string own = "/proc/self/fd/" + std::to_string(fd);
  return ::access(own.c_str(), R_OK) == 0 ? own : fileName;
}

}  // namespace

bool ProbeAac(const EngineFile& file) {
  const std::string& name = file.name;
  return file.fd >= 0 && name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".aac") == 0;
}

std::unique_ptr<TPlayerEngine> MakeAacPlayer(MainLoop& loop) { return std::make_unique<Worker<TAACPlayer>>(loop); }

uint32_t AacRecordRate(uint16_t recorded) {
  static constexpr uint32_t kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
  for (uint32_t rate : kRates) {
    if (rate == recorded) return rate;
  }
  for (uint32_t rate : kRates) {
    if (rate > 0xFFFF && (rate & 0xFFFF) == recorded) return rate;
  }
  return recorded;
}

void TAACPlayer::Seek(int offset, int) { seekRequest_ = offset < 0 ? 0 : offset; }

void TAACPlayer::Run() {
  running_ = true;
  bool ended = false;
  OutsideLibrary library = OutsideLibrary::Open("zbaaclib");
  auto open = library.Entry<AACDecoder_OpenFn>("AACDecoder_Open");
  auto decode = library.Entry<AACDecoder_DecodeFn>("AACDecoder_Decode");
  auto close = library.Entry<AACDecoder_CloseFn>("AACDecoder_Close");
  // Optional: without them the stream has no known length and cannot seek.
  auto length = library.Entry<AACDecoder_LengthFn>("AACDecoder_Length");
  auto seekTo = library.Entry<AACDecoder_SeekFn>("AACDecoder_Seek");
  auto gap = library.Entry<AACDecoder_EncoderGapFn>("AACDecoder_EncoderGap");
  AacStreamInfo info{};
  if (!library.Loaded()) {
    ReportError("Cannot load libzbaaclib.so: " + library.LoadError());
  } else if (open == nullptr || decode == nullptr || close == nullptr) {
    ReportError("libzbaaclib.so lacks an AACDecoder entry");
  } else if (auto probe = OpenRegularFile(fileName_); !probe) {
    // The library would only show this as a stream without audio (or wait for ever on a
    // FIFO, where Stop could not end it).
    ReportError("Cannot open " + fileName_ + ": " + probe.Error().reason);
  } else if (RunGuarded([&] { open(&info, LibraryName(probe.Value().Get(), fileName_).c_str()); }) != 0) {
    ReportError("AAC Open Error");
  } else {
    // The stream's own rate and layout: a one-channel stream comes in the even slots.
    const int channels = info.channelMode == 3 ? 1 : 2;
    const AudioFormat format{AacRecordRate(info.sampleRate), uint16_t(channels), 16};
    // ReplayGain from an ID3v2 (or APE) tag around the stream, where it has one.
    SetPlaybackGain(PlaybackGainFor(fileName_, AudioFileFormat::Aac));
    if (OpenOutput(format)) {
      slots_->OnNotifyInputStreamInfo(this, uint8_t(0), uint8_t(0), uint16_t(info.bitRate / 1000),
                                      uint16_t(info.sampleRate), uint8_t(info.channelMode & 0xFF));
      // The encoder delay and padding, where the stream states them: the audio heard is
      // the stream's sample periods [keepFrom, keepTo), and positions count from delay.
      uint32_t delay = 0;
      uint64_t valid = 0;
      const bool gapless = gap != nullptr && RunGuarded([&] { (void)gap(&delay, &valid); }) == 0 && valid > 0;
      if (!gapless) delay = 0;
      const uint64_t keepTo = gapless ? delay + valid : UINT64_MAX;
      uint64_t keepFrom = delay;
      // An ADTS stream's length is counted from its frame headers; a raw or ADIF stream's
      // is estimated by the library from its first blocks.
      uint64_t totalBlocks = 0;
      if (length != nullptr && RunGuarded([&] { length(&totalBlocks); }) != 0) totalBlocks = 0;
      const uint64_t totalFrames = gapless ? valid : totalBlocks * kBlockPeriods;
      const uint32_t totalSeconds = uint32_t(totalFrames / format.sampleRate);
      slots_->OnNotifyInputPosition(this, uint32_t(0), totalSeconds);
      const size_t frameBytes = format.BytesPerFrame();
      int16_t area[ZBAAC_OUTPUT_SAMPLES];
      uint64_t heardFrom = 0;    // frames of the audio heard before the queue started (a seek)
      int64_t lastReported = -1;  // seconds reported while the tail plays
      // The position of what the device has played, not of what has been decoded: the
      // ring runs up to a second and a half ahead of the sound.
      auto report = [&](bool always) {
        if (!slots_->OnNotifyInputTimecode.Assigned() && !slots_->OnNotifyInputPosition.Assigned()) return;
        const uint32_t s = uint32_t((heardFrom + HeardBytes() / frameBytes) / format.sampleRate);
        if (!always && int64_t(s) == lastReported) return;
        lastReported = s;
        slots_->OnNotifyInputTimecode(this, uint8_t(s / 3600), uint8_t(s / 60 % 60), uint8_t(s % 60), uint8_t(0));
        slots_->OnNotifyInputPosition(this, s, totalSeconds);
      };
      uint64_t streamFrame = 0;  // the stream's sample period the next block starts at
      bool streamEnded = false;
      for (;;) {
        if (const int seek = seekRequest_.exchange(-1); seek >= 0 && seekTo != nullptr) {
          DiscardQueued();
          // The block that holds the asked sample period; the periods before it in the
          // block are dropped, so the seek is exact.
          const uint64_t target = uint64_t(seek) * format.sampleRate + delay;
          const uint64_t block = target / kBlockPeriods;
          int64_t landed = -1;
          if (RunGuarded([&] { landed = seekTo(block); }) != 0) {
            ReportError("AAC Decoder Error");
            break;
          }
          if (landed >= 0) {
            streamFrame = uint64_t(landed) * kBlockPeriods;
            keepFrom = uint64_t(landed) == block ? target : streamFrame;  // beyond the end: the end
            heardFrom = std::max<uint64_t>(keepFrom, delay) - delay;
            streamEnded = streamFrame >= keepTo;
          }
        }
        report(/*always=*/true);
        if (!WaitWhileSuspended()) break;
        int i = 0;
        if (!NextFreeBuffer(&i)) break;
        uint8_t* buffer = Buffer(i);
        size_t filled = 0;
        while (!streamEnded && filled + kBlockPeriods * frameBytes <= kBufferBytes) {
          int32_t more = 0;
          if (RunGuarded([&] { more = decode(area); }) != 0) {
            ReportError("AAC Decoder Error");
            streamEnded = true;
            break;
          }
          // Only a call that reports more output delivered a block; what the last call
          // leaves in the area is not audio of the stream.
          if (more == 0) {
            streamEnded = true;
            break;
          }
          // The part of the block that is heard: not the priming, not the padding, not
          // what lies before a seek's target.
          const uint64_t from = std::max(streamFrame, keepFrom) - streamFrame;
          const uint64_t to = std::min<uint64_t>(streamFrame + kBlockPeriods, keepTo) - streamFrame;
          streamFrame += kBlockPeriods;
          if (streamFrame >= keepTo) streamEnded = true;
          if (to <= from) continue;
          const size_t periods = size_t(to - from);
          if (channels == 2) {
            std::memcpy(buffer + filled, area + 2 * from, periods * frameBytes);
          } else {
            auto* out = reinterpret_cast<int16_t*>(buffer + filled);
            for (size_t k = 0; k < periods; ++k) out[k] = area[2 * (from + k)];
          }
          filled += periods * frameBytes;
        }
        if (filled > 0) QueueBuffer(i, filled);
        if (Terminated() || streamEnded) break;
      }
      if (!Terminated()) DrainQueued([&] { report(/*always=*/false); });
      CloseOutput();
      ended = true;
    }
    if (RunGuarded([&] { close(); }) != 0) ReportError("AAC Close Error");
  }
  library.Close();
  if (ended && !Terminated()) slots_->OnNotifyPlayerState(this, kPlayerStateEndOfStream);
  running_ = false;
}
