// TWavPlayer: the worker that reads the data chunk into the buffer ring.
#include "player/engines/wav_player.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/fd_io.h"
#include "common/file_uri_path.h"
#include "common/regular_file.h"
#include "common/unique_fd.h"
#include "common/wav_header.h"
#include "player/engines/float_pcm.h"
#include "player/engines/playback_gain.h"

uint64_t WavDataBytes(uint32_t declared, uint64_t dataOffset, uint64_t fileBytes) {
  const uint64_t rest = fileBytes > dataOffset ? fileBytes - dataOffset : 0;
  if (declared == 0 || declared == 0xFFFFFFFFu) return rest;
  return declared < rest ? declared : rest;
}

bool ProbeWav(const EngineFile& file) {
  WavFormatInfo info;
  return file.fd >= 0 && ReadWavHeader(file.fd, info) == kWavReadOk;
}

std::unique_ptr<TPlayerEngine> MakeWavPlayer(MainLoop& loop) { return std::make_unique<Worker<TWavPlayer>>(loop); }

void TWavPlayer::Open(const std::string& name) {
  fileName_ = LocalName(name);
  Play();
}

void TWavPlayer::Seek(int offset, int) { seekRequest_ = offset < 0 ? 0 : offset; }

void TWavPlayer::Run() {
  running_ = true;
  // Never waits on a FIFO or a device put where the file was: Stop could not end it.
  auto opened = OpenRegularFile(fileName_);
  if (!opened) {
    ReportError("Cannot open " + fileName_ + ": " + opened.Error().reason);
  } else if (PlayFile(opened.Value().Get()) && !Terminated()) {
    slots_->OnNotifyPlayerState(this, kPlayerStateEndOfStream);
  }
  CloseOutput();
  running_ = false;
}

bool TWavPlayer::PlayFile(int fd) {
  WavFormatInfo info;
  if (const int read = ReadWavHeader(fd, info); read != kWavReadOk) {
    ReportError("Cannot play " + fileName_ + ": " + WavReadResultText(read));
    return false;
  }
  // Integer PCM plays as it is stored; IEEE float (32 or 64 bits) is converted to 24-bit
  // PCM on the way. Other codings (compressed) would be noise when played as integers.
  const bool floating = info.sampleFormat == kWavFormatFloat;
  if (info.sampleFormat != kWavFormatPcm && !floating) {
    ReportError("Cannot play " + fileName_ + ": not PCM or floating-point audio (format " +
                std::to_string(info.sampleFormat) + ")");
    return false;
  }
  if (floating && info.bitsPerSample != 32 && info.bitsPerSample != 64) {
    ReportError("Cannot play " + fileName_ + ": " + std::to_string(info.bitsPerSample) +
                "-bit floating-point audio is not supported");
    return false;
  }
  // The file's frames are inFrameBytes long; format is what the output is given.
  const uint32_t inFrameBytes = uint32_t(info.channels) * (info.bitsPerSample / 8);
  const AudioFormat format{info.sampleRate, info.channels, floating ? kFloatOutputBits : info.bitsPerSample};
  const uint32_t bps = info.sampleRate * inFrameBytes;  // of the file
  if (!format.Valid() || bps == 0) {
    ReportError("Cannot play " + fileName_ + ": " + std::to_string(info.channels) + " channels of " +
                std::to_string(info.bitsPerSample) + "-bit audio at " + std::to_string(info.sampleRate) +
                " Hz are not supported");
    return false;
  }
  // The data chunk's declared size stands just before its first byte; chunks after it
  // (metadata) are not audio.
  uint8_t sizeField[4] = {};
  const uint32_t declared = info.dataOffset >= 8 && pread(fd, sizeField, 4, info.dataOffset - 4) == 4
                                ? uint32_t(sizeField[0] | sizeField[1] << 8 | sizeField[2] << 16 |
                                           uint32_t(sizeField[3]) << 24)
                                : 0;
  struct stat st {};
  fstat(fd, &st);
  const uint64_t dataStart = info.dataOffset;
  const uint64_t dataBytes = WavDataBytes(declared, dataStart, uint64_t(st.st_size));
  // ReplayGain from an "id3 " chunk, where the file has one; the ring scales 16-bit audio
  // (other sample sizes play as stored).
  SetPlaybackGain(PlaybackGainFor(fileName_, AudioFileFormat::Wav));
  if (!OpenOutput(format)) return false;

  slots_->OnNotifyInputStreamInfo(this, uint8_t(0), uint8_t(0),
                                  uint16_t(uint64_t(info.channels) * info.sampleRate * info.bitsPerSample / 1000),
                                  uint16_t(info.sampleRate), uint8_t(info.channels - 2));
  const uint32_t totalSeconds = uint32_t(dataBytes / bps);
  slots_->OnNotifyInputPosition(this, uint32_t(0), totalSeconds);

  uint64_t played = 0;  // bytes of the file handed to the device since dataStart
  uint64_t heardFrom = 0;  // frames: where the queue started (the start, or the last seek)
  int64_t lastReported = -1;  // seconds reported while the tail plays
  // The position of what the device has played, not of what has been read: the ring runs
  // up to a second and a half ahead of the sound.
  auto report = [&](bool always) {
    if (!slots_->OnNotifyInputTimecode.Assigned() && !slots_->OnNotifyInputPosition.Assigned()) return;
    const uint32_t s = uint32_t((heardFrom + HeardBytes() / format.BytesPerFrame()) / info.sampleRate);
    if (!always && int64_t(s) == lastReported) return;
    lastReported = s;
    slots_->OnNotifyInputTimecode(this, uint8_t(s / 3600), uint8_t(s / 60 % 60), uint8_t(s % 60), uint8_t(0));
    if (slots_->OnNotifyInputPosition.Assigned()) {
      Synchronize([this, s, totalSeconds] { slots_->OnNotifyInputPosition(this, s, totalSeconds); });
    }
  };
  // The float samples of one buffer before their conversion (a 64-bit sample takes 8
  // bytes, 3 once converted).
  std::vector<uint8_t> staging(floating ? kBufferBytes / 3 * 8 + 8 : 0);
  bool readFailed = false;
  for (;;) {
    if (const int seek = seekRequest_.exchange(-1); seek >= 0) {
      DiscardQueued();
      played = uint64_t(seek) > totalSeconds ? dataBytes : uint64_t(seek) * bps;
      if (played > dataBytes) played = dataBytes;
      heardFrom = played / inFrameBytes;
    }
    report(/*always=*/true);
    if (!WaitWhileSuspended()) return true;
    int i = 0;
    if (!NextFreeBuffer(&i)) return true;
    // Whole frames of the file that fill the buffer once they are in the output's format.
    const size_t fullBytes = UsableBytes() / format.BytesPerFrame() * inFrameBytes;
    const size_t want = size_t(std::min<uint64_t>(fullBytes, dataBytes - played));
    uint8_t* target = floating ? staging.data() : Buffer(i);
    ssize_t got = want == 0 ? 0 : pread(fd, target, want, off_t(dataStart + played));
    if (got < 0) {
      ReportError("Cannot read " + fileName_ + ": " + std::strerror(errno));
      readFailed = true;
      got = 0;
    }
    got -= got % ssize_t(inFrameBytes);
    if (got > 0) {
      played += uint64_t(got);
      const size_t frames = size_t(got) / inFrameBytes;
      if (floating) FloatToPcm24(staging.data(), info.bitsPerSample, frames * info.channels, Buffer(i));
      QueueBuffer(i, frames * format.BytesPerFrame());
    }
    const bool full = size_t(got) == fullBytes;
    if (Terminated() || !full || readFailed) break;
  }
  if (Terminated()) return true;
  DrainQueued([&] { report(/*always=*/false); });
  CloseOutput();
  return true;
}
