// TAACPlayer: the worker that decodes into the buffer ring.
#include "player/engines/aac_player.h"

#include <strings.h>
#include <unistd.h>

#include <cstring>

#include "aaclib/zbaaclib.h"
#include "common/fault_guard.h"
#include "common/library_loader.h"
#include "common/regular_file.h"
#include "common/unique_fd.h"

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
    if (OpenOutput(format)) {
      slots_->OnNotifyInputStreamInfo(this, uint8_t(0), uint8_t(0), uint16_t(info.bitRate / 1000),
                                      uint16_t(info.sampleRate), uint8_t(info.channelMode & 0xFF));
      // An ADTS stream's length is counted from its frame headers; a raw or ADIF stream's
      // is estimated by the library from its first blocks.
      uint64_t totalBlocks = 0;
      if (length != nullptr && RunGuarded([&] { length(&totalBlocks); }) != 0) totalBlocks = 0;
      const uint32_t totalSeconds = uint32_t(totalBlocks * kBlockPeriods / format.sampleRate);
      slots_->OnNotifyInputPosition(this, uint32_t(0), totalSeconds);
      const uint32_t bps = format.BytesPerSecond();
      const size_t blockBytes = kBlockPeriods * size_t(channels) * 2;
      int16_t area[ZBAAC_OUTPUT_SAMPLES];
      uint64_t played = 0;
      bool streamEnded = false;
      for (;;) {
        if (const int seek = seekRequest_.exchange(-1); seek >= 0 && seekTo != nullptr) {
          DiscardQueued();
          // The first block that starts at or after the asked second (at most 1024 sample
          // periods later), so that the time shown is the one asked for.
          const uint64_t block = (uint64_t(seek) * format.sampleRate + kBlockPeriods - 1) / kBlockPeriods;
          int64_t landed = -1;
          if (RunGuarded([&] { landed = seekTo(block); }) != 0) {
            ReportError("AAC Decoder Error");
            break;
          }
          if (landed >= 0) played = uint64_t(landed) * blockBytes;
        }
        if (slots_->OnNotifyInputTimecode.Assigned() || slots_->OnNotifyInputPosition.Assigned()) {
          const uint32_t s = uint32_t(played / bps);
          slots_->OnNotifyInputTimecode(this, uint8_t(s / 3600), uint8_t(s / 60 % 60), uint8_t(s % 60), uint8_t(0));
          slots_->OnNotifyInputPosition(this, s, totalSeconds);
        }
        if (!WaitWhileSuspended()) break;
        int i = 0;
        if (!NextFreeBuffer(&i)) break;
        uint8_t* buffer = Buffer(i);
        size_t filled = 0;
        while (!streamEnded && filled + blockBytes <= kBufferBytes) {
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
          if (channels == 2) {
            std::memcpy(buffer + filled, area, blockBytes);
          } else {
            auto* out = reinterpret_cast<int16_t*>(buffer + filled);
            for (size_t k = 0; k < kBlockPeriods; ++k) out[k] = area[2 * k];
          }
          filled += blockBytes;
        }
        if (filled > 0) {
          played += filled;
          QueueBuffer(i, filled);
        }
        if (Terminated() || streamEnded) break;
      }
      if (!Terminated()) DrainQueued();
      CloseOutput();
      ended = true;
    }
    if (RunGuarded([&] { close(); }) != 0) ReportError("AAC Close Error");
  }
  library.Close();
  if (ended && !Terminated()) slots_->OnNotifyPlayerState(this, kPlayerStateEndOfStream);
  running_ = false;
}
