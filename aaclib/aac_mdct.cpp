// Inverse and forward MDCT through a quarter-length complex FFT.
#include "aaclib/aac_mdct.h"

#include <cmath>

namespace zbaac {

Mdct::Mdct(int n)
    : n_(n), fft_(n / 4), twiddleRe_(n / 4), twiddleIm_(n / 4), workRe_(n / 4), workIm_(n / 4), fold_(n / 2) {
  for (int p = 0; p < n / 4; ++p) {
    const double angle = -2.0 * M_PI * (p + 0.125) / n;
    twiddleRe_[p] = static_cast<float>(std::cos(angle));
    twiddleIm_[p] = static_cast<float>(std::sin(angle));
  }
}

void Mdct::DctIv(const float* in, float* buf) {
  const int m = n_ / 2;
  const int quarter = n_ / 4;
  float* zr = workRe_.data();
  float* zi = workIm_.data();
  const float* wr = twiddleRe_.data();
  const float* wi = twiddleIm_.data();
  // The twiddled sequence goes straight to the FFT's input order.
  const std::uint16_t* order = fft_.Reversal();
  for (int p = 0; p < quarter; ++p) {
    const float re = in[2 * p];
    const float im = in[m - 1 - 2 * p];
    zr[order[p]] = re * wr[p] - im * wi[p];
    zi[order[p]] = re * wi[p] + im * wr[p];
  }
  fft_.ForwardReordered(zr, zi);
  // Post-twiddle in place over the contiguous arrays (vector code), then spread.
  for (int q = 0; q < quarter; ++q) {
    const float re = zr[q] * wr[q] - zi[q] * wi[q];
    const float im = zr[q] * wi[q] + zi[q] * wr[q];
    zr[q] = re;
    zi[q] = im;
  }
  for (int q = 0; q < quarter; ++q) {
    buf[2 * q] = zr[q];
    buf[m - 1 - 2 * q] = -zi[q];
  }
}

void Mdct::Inverse(const float* coefs, float* out) {
  const int m = n_ / 2;
  const int half = m / 2;
  float* u = fold_.data();
  DctIv(coefs, u);
  const float scale = 2.0f / static_cast<float>(n_);
  // Unfold the length-m DCT-IV into the n-sample IMDCT output.
  for (int j = 0; j < half; ++j) out[j] = scale * u[j + half];
  for (int j = half; j < 3 * half; ++j) out[j] = -scale * u[3 * half - 1 - j];
  for (int j = 3 * half; j < n_; ++j) out[j] = -scale * u[j - 3 * half];
}

void Mdct::Forward(const float* in, float* coefs) {
  const int m = n_ / 2;
  const int half = m / 2;
  for (int j = 0; j < half; ++j) coefs[j] = -in[3 * half - 1 - j] - in[3 * half + j];
  for (int j = half; j < m; ++j) coefs[j] = in[j - half] - in[3 * half - 1 - j];
  DctIv(coefs, coefs);
  for (int k = 0; k < m; ++k) coefs[k] *= 2.0f;
}

}  // namespace zbaac
