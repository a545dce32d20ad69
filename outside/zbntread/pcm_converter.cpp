// Mono mix-down and half-band decimation of CD audio.
#include "outside/zbntread/pcm_converter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

double KaiserWindow(int k, int halfWidth, double beta) {
  const double r = static_cast<double>(k) / (halfWidth + 1);
  return std::cyl_bessel_i(0.0, beta * std::sqrt(1.0 - r * r)) / std::cyl_bessel_i(0.0, beta);
}

int16_t ToSample(double value) {
  const double rounded = std::floor(value + 0.5);
  return static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0));
}

}  // namespace

PcmConverter::PcmConverter(bool mono, bool halfRate) : mono_(mono), halfRate_(halfRate) {
  if (!halfRate_) return;
  // Half-band: h[0] = 1/2, h[k] = sin(pi k / 2) / (pi k) windowed; even k vanish. The odd
  // taps are scaled to sum to 1/2 on each side pair, so the gain at 0 Hz is exactly 1.
  taps_.assign(kHalfTaps + 1, 0.0f);
  double oddSum = 0.0;
  std::vector<double> raw(kHalfTaps + 1, 0.0);
  for (int k = 1; k <= kHalfTaps; k += 2) {
    raw[static_cast<size_t>(k)] = std::sin(std::numbers::pi * k / 2.0) / (std::numbers::pi * k) * KaiserWindow(k, kHalfTaps, 8.0);
    oddSum += 2.0 * raw[static_cast<size_t>(k)];
  }
  taps_[0] = 0.5f;
  for (int k = 1; k <= kHalfTaps; k += 2) taps_[static_cast<size_t>(k)] = static_cast<float>(raw[static_cast<size_t>(k)] * 0.5 / oddSum);
}

void PcmConverter::Push(const int16_t* stereo, size_t frames, std::vector<int16_t>& out) {
  if (!halfRate_) {
    if (!mono_) {
      out.insert(out.end(), stereo, stereo + frames * 2);
      return;
    }
    for (size_t i = 0; i < frames; ++i) out.push_back(static_cast<int16_t>((stereo[2 * i] + stereo[2 * i + 1]) >> 1));
    return;
  }
  for (size_t i = 0; i < frames; ++i) {
    if (mono_) {
      pending_.push_back(static_cast<float>((stereo[2 * i] + stereo[2 * i + 1]) >> 1));
    } else {
      pending_.push_back(stereo[2 * i]);
      pending_.push_back(stereo[2 * i + 1]);
    }
  }
  inputFrames_ += static_cast<int64_t>(frames);
  Filter(/*flushing=*/false, out);
}

void PcmConverter::Finish(std::vector<int16_t>& out) {
  if (halfRate_) Filter(/*flushing=*/true, out);
}

void PcmConverter::Filter(bool flushing, std::vector<int16_t>& out) {
  const int channels = OutputChannels();
  const int64_t available = base_ + static_cast<int64_t>(pending_.size()) / channels;
  auto input = [&](int64_t frame, int channel) -> float {
    if (frame < 0 || frame >= available) return 0.0f;   // silence outside the stream
    return pending_[static_cast<size_t>((frame - base_) * channels + channel)];
  };
  for (;;) {
    const int64_t centre = 2 * nextOutput_;
    if (centre >= inputFrames_) break;
    if (!flushing && centre + kHalfTaps >= available) break;
    for (int c = 0; c < channels; ++c) {
      double sum = taps_[0] * input(centre, c);
      for (int k = 1; k <= kHalfTaps; k += 2)
        sum += taps_[static_cast<size_t>(k)] * (input(centre - k, c) + input(centre + k, c));
      out.push_back(ToSample(sum));
    }
    ++nextOutput_;
  }
  // Keep the frames the next outputs still reach back to.
  const int64_t keepFrom = std::max<int64_t>(base_, 2 * nextOutput_ - kHalfTaps);
  const int64_t drop = keepFrom - base_;
  if (drop > 0) {
    pending_.erase(pending_.begin(), pending_.begin() + drop * channels);
    base_ = keepFrom;
  }
}
