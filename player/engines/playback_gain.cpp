// ReplayGain while playing: the gain of a file from its tags, and the scaling of the PCM.
#include "player/engines/playback_gain.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <optional>

extern "C" {
#include <libavformat/avformat.h>
}

#include "common/file_uri_path.h"
#include "common/tags/audio_file_tags.h"
#include "common/tags/opus_head_gain.h"
#include "common/unique_fd.h"

namespace {

std::atomic<int> mode{int(ReplayGainMode::Track)};
std::atomic<double> preamp{0.0};

// Opus gains aim at -23 LUFS (EBU R128), ReplayGain's at -18 LUFS.
constexpr double kReplayGainAboveR128Db = 5.0;

struct FormatContextCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

// The ReplayGain texts of the container's metadata as libavformat reads it (the file's, or
// else its first stream's); names are matched without regard to case.
std::optional<ReplayGainValues> DemuxerReplayGain(const std::string& path) {
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) return std::nullopt;
  const std::unique_ptr<AVFormatContext, FormatContextCloser> context(opened);
  const auto from = [](const AVDictionary* metadata) {
    return ReplayGainOfTexts([metadata](const char* name) {
      const AVDictionaryEntry* entry = av_dict_get(metadata, name, nullptr, 0);
      return entry != nullptr && entry->value != nullptr ? std::string(entry->value) : std::string();
    });
  };
  if (auto values = from(context->metadata)) return values;
  if (context->nb_streams > 0) return from(context->streams[0]->metadata);
  return std::nullopt;
}

// The Opus header's output gain in dB (0 when it cannot be read).
double OpusHeaderGainDb(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return 0;
  return ReadOpusOutputGain(fd.Get()).value_or(0) / 256.0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

void SetReplayGain(ReplayGainMode m, double preampDb) {
  const int asked = int(m);
  mode.store(asked >= int(ReplayGainMode::Off) && asked <= int(ReplayGainMode::Album) ? asked
                                                                                      : int(ReplayGainMode::Track));
  // NaN (never from the settings' integers) counts as no pre-amp.
  preamp.store(std::isnan(preampDb) ? 0.0 : std::clamp(preampDb, kReplayGainPreampMinDb, kReplayGainPreampMaxDb));
}
ReplayGainMode CurrentReplayGainMode() { return ReplayGainMode(mode.load()); }
double ReplayGainPreampDb() { return preamp.load(); }

double PlaybackGainFor(const std::string& name, AudioFileFormat format) {
  const ReplayGainMode current = CurrentReplayGainMode();
  if (current == ReplayGainMode::Off || format == AudioFileFormat::Unknown) return 1.0;
  const std::string path = LocalName(name);
  if (path.find("://") != std::string::npos || !IsRegularFile(path)) return 1.0;

  std::optional<ReplayGainValues> values;
  if (auto tags = ReadAudioFileTags(path, format)) values = tags->replayGain;
  if (!values && format != AudioFileFormat::Opus) values = DemuxerReplayGain(path);
  if (!values) return 1.0;

  const bool album = current == ReplayGainMode::Album;
  double gainDb = album ? values->albumGain : values->trackGain;
  const double peak = album ? values->albumPeak : values->trackPeak;
  // The decoder has applied the header's gain already; the values count from -18 LUFS.
  if (format == AudioFileFormat::Opus) gainDb -= OpusHeaderGainDb(path);
  double factor = std::pow(10.0, (gainDb + ReplayGainPreampDb()) / 20.0);
  if (peak > 0 && peak * factor > 1.0) factor = 1.0 / peak;
  return std::isfinite(factor) ? factor : 1.0;
}

void ApplyPlaybackGain(int16_t* samples, size_t count, double scale) {
  if (scale == 1.0) return;
  for (size_t i = 0; i < count; ++i) {
    const double scaled = std::nearbyint(samples[i] * scale);
    samples[i] = int16_t(std::clamp(scaled, -32768.0, 32767.0));
  }
}
