// Normalization of a ripped track in place, with the single-precision arithmetic of the
// maker's earlier releases so that results stay the same sample for sample.
#include "maker/cd/normalizer.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "common/fd_io.h"
#include "common/wav_header.h"

namespace {

constexpr size_t kBlockBytes = 4096;
constexpr const char* kReadFailed = "    Error: Cannot read file.";
constexpr const char* kWriteFailed = "    Error: Cannot write to file.";

}  // namespace

int PeakMagnitude(int16_t highest, int16_t lowest) { return std::max<int>(highest, -int{lowest}); }

int PeakPercent(int peak) {
  const float percent = static_cast<float>(peak * (1.0 / 32767.0) * 100.0);
  return static_cast<int>(percent);
}

float NormalizeFactor(int percent, int peak) {
  return static_cast<float>(percent * 0.01 * 32767.0 / peak);
}

int16_t ScaleSample(int16_t sample, float factor) {
  const float scaled = std::floor(static_cast<float>(sample) * factor + 0.5f);
  // With targets up to 100 % the value is always in range; the clamp only guards a
  // rounding at the very edge from wrapping round to the other sign.
  return static_cast<int16_t>(std::clamp(static_cast<int>(scaled), -32768, 32767));
}

std::string NormalizeTrack(int fd, uint32_t audioBytes, bool mono, uint32_t sampleRate, int peak,
                           const NormalizeSettings& settings, const NormalizeHooks& hooks) {
  hooks.log("    Normalizing.");
  if (WriteWavHeader(fd, mono, sampleRate, audioBytes) != kWavWriteOk) return kWriteFailed;
  const int percent = PeakPercent(peak);
  const float factor = NormalizeFactor(settings.percent, peak);
  if ((settings.minimum <= percent && percent <= settings.maximum) || percent == settings.percent) {
    hooks.log("    Normalization not needed.");
    return {};
  }
  std::array<uint8_t, kBlockBytes> block{};
  int64_t done = 0;
  while (done < int64_t{audioBytes} && !hooks.stop()) {
    hooks.progress(done, audioBytes);
    const off_t position = lseek(fd, 0, SEEK_CUR);
    if (position < 0) return kReadFailed;
    const size_t want = static_cast<size_t>(std::min<int64_t>(kBlockBytes, int64_t{audioBytes} - done));
    const ssize_t got = ReadUpTo(fd, block.data(), want);
    // A file shorter than the reported audio would otherwise loop here for ever.
    if (got <= 0) return kReadFailed;
    const size_t samples = static_cast<size_t>(got) / 2;
    for (size_t i = 0; i < samples; ++i) {
      int16_t s;
      std::memcpy(&s, &block[2 * i], 2);
      s = ScaleSample(s, factor);
      std::memcpy(&block[2 * i], &s, 2);
    }
    if (lseek(fd, position, SEEK_SET) < 0) return kReadFailed;
    if (!WriteAll(fd, block.data(), static_cast<size_t>(got))) return kWriteFailed;
    done += got;
  }
  return {};
}
