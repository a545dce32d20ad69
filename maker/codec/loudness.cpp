// Loudness of WAV files through libebur128 (integrated loudness with its gating, sample
// peak), and the ReplayGain 2.0 values of an album's tracks.
#include "maker/codec/loudness.h"

#include <ebur128.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/fd_io.h"
#include "common/unique_fd.h"
#include "common/wav_header.h"

struct LoudnessMeter {
  explicit LoudnessMeter(ebur128_state* made) : state(made) {}
  ~LoudnessMeter() { ebur128_destroy(&state); }
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;
  ebur128_state* state;
};

namespace {

// ReplayGain 2.0 plays every track as loud as -18 LUFS.
constexpr double kReplayGainReferenceLufs = -18.0;
// Frames read and fed to the meter at a time: 64 KiB of CD audio.
constexpr size_t kBlockFrames = 16384;


Error MeasureError(const std::string& path, const std::string& what, ErrorCategory category = ErrorCategory::Format,
                   uint64_t byte = 0, int errnum = 0) {
  std::string text = "Cannot measure the loudness of " + path + ": " + what;
  return Error(category, byte ? ErrorPosition::Byte(byte) : ErrorPosition{}, std::move(text), what, path, errnum);
}

// The gain towards the reference of a loudness; 0 dB for silence, whose loudness is not a
// number the meter can give.
double GainOf(double lufs) { return std::isfinite(lufs) ? kReplayGainReferenceLufs - lufs : 0.0; }

}  // namespace

Expected<TrackLoudness> MeasureWavLoudness(const std::string& path, const std::atomic<bool>* cancelled) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return Fail(MeasureError(path, std::strerror(errno), ErrorCategory::Io, 0, errno));
  WavFormatInfo wav;
  if (const int code = ReadWavHeader(fd.Get(), wav); code != kWavReadOk)
    return Fail(MeasureError(path, WavReadResultText(code)));
  if (wav.sampleFormat != kWavFormatPcm || wav.bitsPerSample != 16)
    return Fail(MeasureError(path, "it is not 16-bit PCM", ErrorCategory::Unsupported));
  if (wav.channels == 0 || wav.sampleRate == 0)
    return Fail(MeasureError(path, "its header has no channels or no sample rate"));

  // Histogram mode keeps the meter's memory fixed whatever the track's length, and the
  // album's loudness can still be gated over the blocks of all its tracks.
  ebur128_state* state =
      ebur128_init(wav.channels, wav.sampleRate, EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_HISTOGRAM);
  if (state == nullptr) return Fail(MeasureError(path, "the loudness meter cannot be made", ErrorCategory::Unsupported));
  auto meter = std::make_shared<LoudnessMeter>(state);

  const size_t frameBytes = size_t{2} * wav.channels;
  std::vector<unsigned char> bytes(kBlockFrames * frameBytes);
  std::vector<short> samples(kBlockFrames * wav.channels);
  uint64_t left = wav.dataBytes - wav.dataBytes % frameBytes;
  uint64_t offset = wav.dataOffset;
  while (left > 0) {
    if (cancelled != nullptr && *cancelled)
      return Fail(Error(ErrorCategory::Cancelled, {}, "Cancelled", {}, path));
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, bytes.size()));
    const ssize_t got = ReadUpTo(fd.Get(), bytes.data(), want);
    if (got < 0) return Fail(MeasureError(path, std::strerror(errno), ErrorCategory::Io, offset, errno));
    // A file shorter than its header says: the audio that is there is measured.
    const size_t frames = static_cast<size_t>(got) / frameBytes;
    for (size_t i = 0; i < frames * wav.channels; ++i)
      samples[i] = static_cast<short>(static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    if (frames > 0 && ebur128_add_frames_short(meter->state, samples.data(), frames) != EBUR128_SUCCESS)
      return Fail(MeasureError(path, "the loudness meter refused the audio", ErrorCategory::Unsupported, offset));
    if (static_cast<size_t>(got) < want) break;
    left -= want;
    offset += want;
  }

  TrackLoudness loudness;
  if (ebur128_loudness_global(meter->state, &loudness.integratedLufs) != EBUR128_SUCCESS)
    return Fail(MeasureError(path, "the loudness meter gave no value", ErrorCategory::Unsupported));
  for (unsigned channel = 0; channel < wav.channels; ++channel) {
    double peak = 0;
    if (ebur128_sample_peak(meter->state, channel, &peak) == EBUR128_SUCCESS)
      loudness.peak = std::max(loudness.peak, peak);
  }
  loudness.meter = std::move(meter);
  return loudness;
}

std::vector<ReplayGainValues> AlbumReplayGains(const std::vector<TrackLoudness>& tracks) {
  std::vector<ebur128_state*> meters;
  double albumPeak = 0;
  for (const TrackLoudness& track : tracks) {
    if (track.meter) meters.push_back(track.meter->state);
    albumPeak = std::max(albumPeak, track.peak);
  }
  // The album is gated as one programme over the blocks of all its tracks: a quiet track
  // weighs by its length and its blocks, not as one vote among the tracks' values.
  double albumLufs = -HUGE_VAL;
  if (!meters.empty() &&
      ebur128_loudness_global_multiple(meters.data(), meters.size(), &albumLufs) != EBUR128_SUCCESS)
    albumLufs = -HUGE_VAL;

  std::vector<ReplayGainValues> values;
  values.reserve(tracks.size());
  for (const TrackLoudness& track : tracks) {
    ReplayGainValues value;
    value.trackGain = GainOf(track.integratedLufs);
    value.trackPeak = track.peak;
    value.albumGain = GainOf(albumLufs);
    value.albumPeak = albumPeak;
    values.push_back(value);
  }
  return values;
}
