// Conversion of 44 100 Hz stereo CD audio to mono and/or 22 050 Hz, as a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Mono: (left + right) / 2, rounded down. Half rate: a 127-tap half-band low-pass FIR
// (windowed sinc, Kaiser window, beta 8: flat to about 10 kHz, at least 70 dB down from
// 12 kHz) followed by keeping every second frame, so nothing above the new Nyquist
// frequency folds back. The filter is centred (no delay) and sees silence before the
// first and after the last input frame; n input frames give (n + 1) / 2 output frames.
class PcmConverter {
 public:
  PcmConverter(bool mono, bool halfRate);

  int OutputChannels() const { return mono_ ? 1 : 2; }
  // Converts interleaved stereo frames; appends finished output samples to out.
  void Push(const int16_t* stereo, size_t frames, std::vector<int16_t>& out);
  // Flushes what the filter still holds.
  void Finish(std::vector<int16_t>& out);

  static constexpr int kHalfTaps = 63;   // taps on each side of the centre

 private:
  void Filter(bool flushing, std::vector<int16_t>& out);

  bool mono_;
  bool halfRate_;
  std::vector<float> taps_;      // taps_[k] for k = 0 ... kHalfTaps
  std::vector<float> pending_;   // interleaved input frames from index base_
  int64_t base_ = 0;             // input frame index of pending_[0]
  int64_t inputFrames_ = 0;
  int64_t nextOutput_ = 0;
};
