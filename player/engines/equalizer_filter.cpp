// EqualizerFilter: band gains, the minimum-phase design and the overlap-save convolution.
#include "player/engines/equalizer_filter.h"

#include <fftw3.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>

namespace {

// Half the width of the blend across a band edge, in bands: the sub-band filter bank's
// neighbouring bands overlap by about this much on either side of their common edge.
constexpr double kEdgeHalfWidthBands = 0.25;
// The design grid: fine enough that the cepstrum of the steepest response does not alias.
constexpr size_t kDesignSize = 8192;
// The taps at the end of the FIR that fade out (half a Hann window), so cutting it short
// adds no ripple.
constexpr size_t kTailTaps = 96;

template <typename T>
struct FftwFree {
  void operator()(T* p) const { fftw_free(p); }
};
template <typename T>
using FftwArray = std::unique_ptr<T[], FftwFree<T>>;

template <typename T>
FftwArray<T> AllocateFftw(size_t count) {
  return FftwArray<T>(static_cast<T*>(fftw_malloc(sizeof(T) * count)));
}

// The transforms, planned once for the process. Planning is not thread-safe in FFTW;
// executing a plan on other arrays of the same alignment (fftw_malloc) is.
struct Plans {
  fftwf_plan forward;   // kFftSize real -> kFftSize / 2 + 1 complex (float)
  fftwf_plan inverse;   // and back
  fftw_plan designForward;  // kDesignSize, double
  fftw_plan designInverse;
};

const Plans& ThePlans() {
  static const Plans plans = [] {
    Plans p{};
    constexpr size_t n = EqualizerFilter::kFftSize;
    auto real = AllocateFftw<float>(n);
    auto spectrum = AllocateFftw<fftwf_complex>(n / 2 + 1);
    p.forward = fftwf_plan_dft_r2c_1d(int(n), real.get(), spectrum.get(), FFTW_ESTIMATE);
    p.inverse = fftwf_plan_dft_c2r_1d(int(n), spectrum.get(), real.get(), FFTW_ESTIMATE);
    auto designReal = AllocateFftw<double>(kDesignSize);
    auto designSpectrum = AllocateFftw<fftw_complex>(kDesignSize / 2 + 1);
    p.designForward = fftw_plan_dft_r2c_1d(int(kDesignSize), designReal.get(), designSpectrum.get(), FFTW_ESTIMATE);
    p.designInverse = fftw_plan_dft_c2r_1d(int(kDesignSize), designSpectrum.get(), designReal.get(), FFTW_ESTIMATE);
    return p;
  }();
  return plans;
}

using Bands = std::array<int8_t, kEqualizerFilterBands>;

bool Flat(const Bands& bands) {
  return std::all_of(bands.begin(), bands.end(), [](int8_t v) { return v == 0; });
}

// Sample access: full scale is 1.0; 8-bit samples are unsigned.
float ReadSample(const uint8_t* p, uint16_t bits) {
  switch (bits) {
    case 8: return float(int(p[0]) - 128) * (1.0f / 128.0f);
    case 16: return float(int16_t(uint16_t(p[0] | p[1] << 8))) * (1.0f / 32768.0f);
    case 24: {
      const int32_t v = int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
      return float(v) * (1.0f / 8388608.0f);
    }
    default: {
      const int32_t v = int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
      return float(double(v) * (1.0 / 2147483648.0));
    }
  }
}

// Rounds to the nearest step and saturates at full scale.
void WriteSample(uint8_t* p, uint16_t bits, float value) {
  const double scale = std::ldexp(1.0, bits - 1);
  const double top = scale - 1.0;
  const double v = std::clamp(std::nearbyint(double(value) * scale), -scale, top);
  const int32_t s = int32_t(v);
  switch (bits) {
    case 8: p[0] = uint8_t(s + 128); break;
    case 16: p[0] = uint8_t(s); p[1] = uint8_t(s >> 8); break;
    case 24: p[0] = uint8_t(s); p[1] = uint8_t(s >> 8); p[2] = uint8_t(s >> 16); break;
    default:
      p[0] = uint8_t(s); p[1] = uint8_t(s >> 8); p[2] = uint8_t(s >> 16); p[3] = uint8_t(uint32_t(s) >> 24);
      break;
  }
}

}  // namespace

double EqualizerBandFactor(int value) {
  value = std::clamp(value, -51, 50);
  const double db = value >= 0 ? 12.0 * value / 50.0 : 24.0 * value / 51.0;
  return std::pow(10.0, db / 20.0);
}

double EqualizerTargetMagnitude(const Bands& bands, double f) {
  const double u = std::clamp(f, 0.0, 0.5) * 2 * kEqualizerFilterBands;  // in bands
  const int edge = int(std::lround(u));
  const double d = u - edge;
  if (edge >= 1 && edge < kEqualizerFilterBands && std::abs(d) < kEdgeHalfWidthBands) {
    // Powers blend as the two bands' power-complementary responses overlap: what a noise
    // hears through a filter bank whose neighbouring bands are scaled apart (their alias
    // terms no longer cancel, and add as power).
    const double upper = 0.5 * (1.0 + std::sin(std::numbers::pi / 2 * d / kEdgeHalfWidthBands));
    const double below = EqualizerBandFactor(bands[size_t(edge - 1)]), above = EqualizerBandFactor(bands[size_t(edge)]);
    return std::sqrt(below * below * (1.0 - upper) + above * above * upper);
  }
  const int band = std::clamp(int(u), 0, kEqualizerFilterBands - 1);
  return EqualizerBandFactor(bands[size_t(band)]);
}

struct EqualizerFilter::Response {
  // The FIR's spectrum, scaled by 1 / kFftSize for the inverse transform.
  FftwArray<fftwf_complex> spectrum;
};

struct EqualizerFilter::Channel {
  FftwArray<float> history = AllocateFftw<float>(kFftSize);  // the last kFftSize inputs
  FftwArray<float> output = AllocateFftw<float>(kFftSize);
  FftwArray<fftwf_complex> input = AllocateFftw<fftwf_complex>(kFftSize / 2 + 1);
  FftwArray<fftwf_complex> product = AllocateFftw<fftwf_complex>(kFftSize / 2 + 1);
  FftwArray<float> faded = AllocateFftw<float>(kBlockFrames);
  Channel() { std::fill_n(history.get(), kFftSize, 0.0f); }
};

EqualizerFilter::EqualizerFilter() { (void)ThePlans(); }
EqualizerFilter::~EqualizerFilter() = default;

void EqualizerFilter::SetRecord(const int8_t* record) {
  std::lock_guard lock(recordMutex_);
  if (record == nullptr)
    pending_.fill(0);
  else
    std::memcpy(pending_.data(), record, kEqualizerRecordBytes);
  changed_ = true;
}

void EqualizerFilter::Restart(const AudioFormat& format) {
  format_ = format;
  started_ = true;
  channels_.clear();
  for (int c = 0; c < format.channels; ++c) channels_.push_back(std::make_unique<Channel>());
  previous_ = {};
  fadeDue_ = false;
  flowing_ = false;
}

void EqualizerFilter::TakeRecord() {
  std::array<int8_t, kEqualizerRecordBytes> record;
  {
    std::lock_guard lock(recordMutex_);
    record = pending_;
  }
  if (record == record_) return;
  record_ = record;
  Bands left, right;
  std::copy_n(record.begin(), kEqualizerFilterBands, left.begin());
  std::copy_n(record.begin() + kEqualizerFilterBands, kEqualizerFilterBands, right.begin());
  previous_ = current_;
  current_[0] = Flat(left) ? nullptr : Design(left);
  current_[1] = left == right ? current_[0] : Flat(right) ? nullptr : Design(right);
  fadeDue_ = flowing_;
}

void EqualizerFilter::Process(void* data, size_t bytes, const AudioFormat& format) {
  if (!format.Valid()) return;
  if (!started_ || !(format == format_)) Restart(format);
  if (changed_.exchange(false)) TakeRecord();
  const bool fading = fadeDue_;
  active_ = fading || current_[0] || current_[1];
  const size_t frames = bytes / format.BytesPerFrame();
  auto* bytesIn = static_cast<uint8_t*>(data);
  for (size_t offset = 0; offset < frames;) {
    const size_t count = std::min(kBlockFrames, frames - offset);
    RunBlock(offset, count, bytesIn, fading && offset == 0);
    offset += count;
  }
  fadeDue_ = false;
  previous_ = {};
  flowing_ = flowing_ || frames > 0;
}

const EqualizerFilter::Response& EqualizerFilter::ResponseOf(int channel, bool previous) const {
  const auto& pair = previous ? previous_ : current_;
  return *pair[size_t(channel % 2)];
}

void EqualizerFilter::RunBlock(size_t offset, size_t frames, uint8_t* data, bool fade) {
  const Plans& plans = ThePlans();
  const uint16_t bits = format_.bitsPerSample;
  const size_t sampleBytes = bits / 8;
  const size_t frameBytes = format_.BytesPerFrame();
  constexpr size_t spectrumSize = kFftSize / 2 + 1;
  for (int c = 0; c < format_.channels; ++c) {
    Channel& ch = *channels_[size_t(c)];
    float* history = ch.history.get();
    std::memmove(history, history + frames, (kFftSize - frames) * sizeof(float));
    float* fresh = history + (kFftSize - frames);
    uint8_t* first = data + offset * frameBytes + size_t(c) * sampleBytes;
    for (size_t i = 0; i < frames; ++i) fresh[i] = ReadSample(first + i * frameBytes, bits);

    const bool filtered = current_[size_t(c % 2)] != nullptr;
    const bool wasFiltered = fade && previous_[size_t(c % 2)] != nullptr;
    if (!filtered && !wasFiltered) continue;  // flat: the samples stay as they are

    fftwf_execute_dft_r2c(plans.forward, history, ch.input.get());
    // The filter's output for the block's frames: the last ones of the circular
    // convolution, the only ones without wrap-around.
    auto convolve = [&](const Response& response, float* out) {
      const fftwf_complex* x = ch.input.get();
      const fftwf_complex* h = response.spectrum.get();
      fftwf_complex* y = ch.product.get();
      for (size_t k = 0; k < spectrumSize; ++k) {
        y[k][0] = x[k][0] * h[k][0] - x[k][1] * h[k][1];
        y[k][1] = x[k][0] * h[k][1] + x[k][1] * h[k][0];
      }
      fftwf_execute_dft_c2r(plans.inverse, y, ch.output.get());
      std::copy_n(ch.output.get() + (kFftSize - frames), frames, out);
    };
    float* result = ch.faded.get();
    if (filtered)
      convolve(ResponseOf(c, /*previous=*/false), result);
    else
      std::copy_n(fresh, frames, result);
    if (fade) {
      // From the old response to the new one across the block.
      std::vector<float> old(frames);
      if (wasFiltered)
        convolve(ResponseOf(c, /*previous=*/true), old.data());
      else
        std::copy_n(fresh, frames, old.data());
      for (size_t i = 0; i < frames; ++i) {
        const float t = float(i + 1) / float(frames);
        result[i] = old[i] + (result[i] - old[i]) * t;
      }
    }
    for (size_t i = 0; i < frames; ++i) WriteSample(first + i * frameBytes, bits, result[i]);
  }
}

std::shared_ptr<const EqualizerFilter::Response> EqualizerFilter::Design(const Bands& bands) {
  const Plans& plans = ThePlans();
  constexpr size_t m = kDesignSize;
  constexpr size_t half = m / 2 + 1;
  auto spectrum = AllocateFftw<fftw_complex>(half);
  auto real = AllocateFftw<double>(m);
  // The real cepstrum of the magnitude (even, real).
  for (size_t k = 0; k < half; ++k) {
    spectrum[k][0] = std::log(EqualizerTargetMagnitude(bands, double(k) / double(m)));
    spectrum[k][1] = 0.0;
  }
  fftw_execute_dft_c2r(plans.designInverse, spectrum.get(), real.get());
  // Folded onto its causal half: the minimum-phase response's cepstrum.
  double* c = real.get();
  for (size_t n = 0; n < m; ++n) c[n] /= double(m);
  for (size_t n = 1; n < m / 2; ++n) c[n] *= 2.0;
  for (size_t n = m / 2 + 1; n < m; ++n) c[n] = 0.0;
  fftw_execute_dft_r2c(plans.designForward, c, spectrum.get());
  for (size_t k = 0; k < half; ++k) {
    const std::complex<double> e = std::exp(std::complex<double>(spectrum[k][0], spectrum[k][1]));
    spectrum[k][0] = e.real();
    spectrum[k][1] = e.imag();
  }
  fftw_execute_dft_c2r(plans.designInverse, spectrum.get(), real.get());

  // The first taps, the last of them faded out, zero-padded to the convolution's size.
  constexpr size_t n = EqualizerFilter::kFftSize;
  constexpr size_t taps = EqualizerFilter::kTaps;
  auto fir = AllocateFftw<float>(n);
  for (size_t i = 0; i < n; ++i) {
    double v = i < taps ? real[i] / double(m) : 0.0;
    if (i < taps && i >= taps - kTailTaps) {
      const double x = double(i - (taps - kTailTaps) + 1) / double(kTailTaps + 1);
      v *= 0.5 * (1.0 + std::cos(std::numbers::pi * x));
    }
    fir[i] = float(v);
  }
  auto response = std::make_shared<EqualizerFilter::Response>();
  response->spectrum = AllocateFftw<fftwf_complex>(n / 2 + 1);
  fftwf_execute_dft_r2c(plans.forward, fir.get(), response->spectrum.get());
  for (size_t k = 0; k < n / 2 + 1; ++k) {
    response->spectrum[k][0] /= float(n);
    response->spectrum[k][1] /= float(n);
  }
  return response;
}
