// Inverse and forward MDCT through a quarter-length complex FFT.
#include "aaclib/aac_mdct.h"

#include <cmath>

namespace zbaac {

Mdct::Mdct(int n) : n_(n), fft_(n / 4), twiddles_(n / 4), work_(n / 4), fold_(n / 2) {
  for (int p = 0; p < n / 4; ++p) {
    const double angle = -2.0 * M_PI * (p + 0.125) / n;
    twiddles_[p] = {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
  }
}

void Mdct::DctIv(const float* in, float* buf) {
  const int m = n_ / 2;
  const int quarter = n_ / 4;
  Complex* z = work_.data();
  const Complex* w = twiddles_.data();
  for (int p = 0; p < quarter; ++p) {
    const float re = in[2 * p];
    const float im = in[m - 1 - 2 * p];
    z[p] = {re * w[p].re - im * w[p].im, re * w[p].im + im * w[p].re};
  }
  fft_.Forward(z);
  for (int q = 0; q < quarter; ++q) {
    const float re = z[q].re * w[q].re - z[q].im * w[q].im;
    const float im = z[q].re * w[q].im + z[q].im * w[q].re;
    buf[2 * q] = re;
    buf[m - 1 - 2 * q] = -im;
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
