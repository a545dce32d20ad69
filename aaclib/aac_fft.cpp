// Complex FFT of 64 or 512 points, the quarter-length transforms under the MDCTs.
#include "aaclib/aac_fft.h"

#include <cassert>
#include <cmath>
#include <utility>

namespace zbaac {

namespace {

int Log2(int n) {
  int bits = 0;
  while ((1 << bits) < n) ++bits;
  return bits;
}

// Radix-4 butterfly of a (in place), twiddled b, c, d (the sub-transforms of the residues
// 2, 1, 3). Outputs: a' = a + b + c + d, o1 = (a - b) - i (c - d), o2 = a + b - c - d,
// o3 = (a - b) + i (c - d).
inline void Butterfly(Complex& a, const Complex b, const Complex c, const Complex d, Complex& o1, Complex& o2,
                      Complex& o3) {
  const float s0r = a.re + b.re, s0i = a.im + b.im;
  const float s1r = a.re - b.re, s1i = a.im - b.im;
  const float t0r = c.re + d.re, t0i = c.im + d.im;
  const float t1r = c.re - d.re, t1i = c.im - d.im;
  a = {s0r + t0r, s0i + t0i};
  o2 = {s0r - t0r, s0i - t0i};
  o1 = {s1r + t1i, s1i - t1r};
  o3 = {s1r - t1i, s1i + t1r};
}

}  // namespace

Fft::Fft(int points) : points_(points) {
  assert(points >= 4 && points <= 4096 && (points & (points - 1)) == 0 && "FFT size must be a power of two");
  const int bits = Log2(points);
  reversal_.resize(points);
  for (int i = 0; i < points; ++i) {
    int r = 0;
    for (int b = 0; b < bits; ++b) {
      if (i & (1 << b)) r |= 1 << (bits - 1 - b);
    }
    reversal_[i] = static_cast<uint16_t>(r);
  }
  // Radix-4 stages combine four sub-transforms of size m into one of size 4m.
  int m = (bits % 2 == 1) ? 2 : 1;
  for (; m < points; m *= 4) {
    const double step = -2.0 * M_PI / (4.0 * m);
    for (int k = 0; k < m; ++k) {
      for (int q = 1; q <= 3; ++q) {
        twiddles_.push_back({static_cast<float>(std::cos(step * k * q)), static_cast<float>(std::sin(step * k * q))});
      }
    }
  }
}

void Fft::Forward(Complex* data) const {
  const int n = points_;
  for (int i = 0; i < n; ++i) {
    const int r = reversal_[i];
    if (r > i) std::swap(data[i], data[r]);
  }
  int m = 1;
  if (Log2(n) % 2 == 1) {
    for (int i = 0; i < n; i += 2) {
      const Complex a = data[i];
      const Complex b = data[i + 1];
      data[i] = {a.re + b.re, a.im + b.im};
      data[i + 1] = {a.re - b.re, a.im - b.im};
    }
    m = 2;
  }
  const Complex* tw = twiddles_.data();
  for (; m < n; m *= 4) {
    // In bit-reversed order the four blocks of a group hold the sub-transforms of the
    // residues 0, 2, 1, 3 (mod 4).
    for (int base = 0; base < n; base += 4 * m) {
      Complex* p0 = data + base;
      Complex* p1 = p0 + m;
      Complex* p2 = p1 + m;
      Complex* p3 = p2 + m;
      // k = 0: all twiddles are 1.
      Butterfly(p0[0], p1[0], p2[0], p3[0], p1[0], p2[0], p3[0]);
      for (int k = 1; k < m; ++k) {
        const Complex w1 = tw[3 * k];
        const Complex w2 = tw[3 * k + 1];
        const Complex w3 = tw[3 * k + 2];
        const Complex b{p1[k].re * w2.re - p1[k].im * w2.im, p1[k].re * w2.im + p1[k].im * w2.re};
        const Complex c{p2[k].re * w1.re - p2[k].im * w1.im, p2[k].re * w1.im + p2[k].im * w1.re};
        const Complex d{p3[k].re * w3.re - p3[k].im * w3.im, p3[k].re * w3.im + p3[k].im * w3.re};
        Butterfly(p0[k], b, c, d, p1[k], p2[k], p3[k]);
      }
    }
    tw += 3 * m;
  }
}

}  // namespace zbaac
