// Scaling a freshly ripped track so that its loudest sample reaches a chosen level.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/error.h"

struct NormalizeSettings {
  int percent = 100;   // NormalizePercent: target peak, percent of full scale
  int minimum = 95;    // NormalizeMin: scale only when the peak is below this ...
  int maximum = 100;   // NormalizeMax: ... or above this
};

// What the track reading thread gives the normalization to talk through.
struct NormalizeHooks {
  std::function<void(const std::string& line)> log;            // a reader log line
  std::function<void(int64_t doneBytes, int64_t totalBytes)> progress;  // before each block
  std::function<bool()> stop;                                  // the thread was asked to end
};

// The peak magnitude: the larger of highest and -lowest (32 768 for a lowest of -32 768).
int PeakMagnitude(int16_t highest, int16_t lowest);
// The peak as a whole percentage of 32 767, computed in single precision and truncated.
int PeakPercent(int peak);
// The scale factor percent x 0.01 x 32 767 / peak, in single precision.
float NormalizeFactor(int percent, int peak);
// One sample scaled: floor(s x f + 0.5) in single precision, kept within 16 bits.
int16_t ScaleSample(int16_t sample, float factor);

// Normalizes the audio of an open WAV file (fd readable and writable). Logs "Normalizing.",
// rewrites the header with audioBytes, and either logs "Normalization not needed." or
// scales the samples in place in blocks of 4 096 bytes. Succeeds also when stopped between
// blocks. Fails with "Cannot write to file." (Io) or "Cannot read file." (Io, or Format for
// a file that ends before audioBytes), positioned at the byte of the file where it failed;
// the samples done so far stay scaled. The caller logs the failure as its error line.
Outcome NormalizeTrack(int fd, uint32_t audioBytes, bool mono, uint32_t sampleRate, int peak,
                           const NormalizeSettings& settings, const NormalizeHooks& hooks);
