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
// The failures keep the words of the reader log's lines; the caller adds the "Error: ".
Error WriteFailed(int64_t at, int errnum) {
  return Error(ErrorCategory::Io, ErrorPosition::Byte(static_cast<uint64_t>(at)), "Cannot write to file.",
               errnum != 0 ? std::strerror(errnum) : std::string(), {}, errnum);
}

// errnum 0: the file ended before the audio it was said to hold.
Error ReadFailed(int64_t at, int errnum) {
  return Error(errnum != 0 ? ErrorCategory::Io : ErrorCategory::Format, ErrorPosition::Byte(static_cast<uint64_t>(at)),
               "Cannot read file.", errnum != 0 ? std::strerror(errnum) : "the file ends before its audio", {},
               errnum);
}

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

Outcome NormalizeTrack(int fd, uint32_t audioBytes, bool mono, uint32_t sampleRate, int peak,
                           const NormalizeSettings& settings, const NormalizeHooks& hooks) {
  hooks.log("    Normalizing.");
  if (WriteWavHeader(fd, mono, sampleRate, audioBytes) != kWavWriteOk) return Fail(WriteFailed(0, errno));
  const int percent = PeakPercent(peak);
  const float factor = NormalizeFactor(settings.percent, peak);
  if ((settings.minimum <= percent && percent <= settings.maximum) || percent == settings.percent) {
    hooks.log("    Normalization not needed.");
    return Done{};
  }
  std::array<uint8_t, kBlockBytes> block{};
  int64_t done = 0;
  while (done < int64_t{audioBytes} && !hooks.stop()) {
    hooks.progress(done, audioBytes);
    const off_t position = lseek(fd, 0, SEEK_CUR);
    if (position < 0) return Fail(ReadFailed(kWavHeaderBytes + done, errno));
    const size_t want = static_cast<size_t>(std::min<int64_t>(kBlockBytes, int64_t{audioBytes} - done));
    const ssize_t got = ReadUpTo(fd, block.data(), want);
    // A file shorter than the reported audio would otherwise loop here for ever.
    if (got <= 0) return Fail(ReadFailed(position, got < 0 ? errno : 0));
    const size_t samples = static_cast<size_t>(got) / 2;
    for (size_t i = 0; i < samples; ++i) {
      int16_t s;
      std::memcpy(&s, &block[2 * i], 2);
      s = ScaleSample(s, factor);
      std::memcpy(&block[2 * i], &s, 2);
    }
    if (lseek(fd, position, SEEK_SET) < 0) return Fail(ReadFailed(position, errno));
    if (!WriteAll(fd, block.data(), static_cast<size_t>(got))) return Fail(WriteFailed(position, errno));
    done += got;
  }
  return Done{};
}
