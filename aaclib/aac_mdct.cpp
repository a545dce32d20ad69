// Windowed inverse and forward MDCT through a quarter-length complex FFT.
#include "aaclib/aac_mdct.h"

#include <cmath>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace zbaac {

Mdct::Mdct(int n)
    : n_(n),
      fft_(n / 4),
      twiddleRe_(n / 4),
      twiddleIm_(n / 4),
      scaledRe_(n / 4),
      scaledIm_(n / 4),
      reversedRe_(n / 4),
      reversedIm_(n / 4),
      workRe_(n / 4),
      workIm_(n / 4),
      fold_(n / 2) {
  // 2/n is a power of two, so the scaled twiddles give exactly the products that scaling
  // the transform's result afterwards would.
  const float scale = 2.0f / static_cast<float>(n);
  for (int p = 0; p < n / 4; ++p) {
    const double angle = -2.0 * M_PI * (p + 0.125) / n;
    twiddleRe_[p] = static_cast<float>(std::cos(angle));
    twiddleIm_[p] = static_cast<float>(std::sin(angle));
    scaledRe_[p] = scale * twiddleRe_[p];
    scaledIm_[p] = scale * twiddleIm_[p];
  }
  for (int i = 0; i < n / 4; ++i) {
    reversedRe_[i] = twiddleRe_[fft_.Reversal()[i]];
    reversedIm_[i] = twiddleIm_[fft_.Reversal()[i]];
  }
}

void Mdct::Transform(const float* in) {
  const int m = n_ / 2;
  const int quarter = n_ / 4;
  float* __restrict zr = workRe_.data();
  float* __restrict zi = workIm_.data();
  const float* __restrict wr = reversedRe_.data();
  const float* __restrict wi = reversedIm_.data();
  // The twiddled sequence is written in the FFT's input order: entry i takes value p =
  // the bit reversal of i (an involution), whose twiddle is stored at i.
  const std::uint16_t* order = fft_.Reversal();
  int i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= quarter; i += 4) {
    const int p0 = order[i], p1 = order[i + 1], p2 = order[i + 2], p3 = order[i + 3];
    const __m128 re = _mm_set_ps(in[2 * p3], in[2 * p2], in[2 * p1], in[2 * p0]);
    const __m128 im = _mm_set_ps(in[m - 1 - 2 * p3], in[m - 1 - 2 * p2], in[m - 1 - 2 * p1], in[m - 1 - 2 * p0]);
    const __m128 tr = _mm_loadu_ps(wr + i);
    const __m128 ti = _mm_loadu_ps(wi + i);
    _mm_storeu_ps(zr + i, _mm_sub_ps(_mm_mul_ps(re, tr), _mm_mul_ps(im, ti)));
    _mm_storeu_ps(zi + i, _mm_add_ps(_mm_mul_ps(re, ti), _mm_mul_ps(im, tr)));
  }
#endif
  for (; i < quarter; ++i) {
    const int p = order[i];
    const float re = in[2 * p];
    const float im = in[m - 1 - 2 * p];
    zr[i] = re * wr[i] - im * wi[i];
    zi[i] = re * wi[i] + im * wr[i];
  }
  fft_.ForwardReordered(zr, zi);
}

void Mdct::InverseWindowed(const float* coefs, const float* __restrict rise, const float* __restrict fall,
                           const float* __restrict add, float* __restrict first, float* __restrict second) {
  const int m = n_ / 2;
  const int h = m / 2;  // = n/4, the FFT's length
  Transform(coefs);
  float* __restrict zr = workRe_.data();
  float* __restrict zi = workIm_.data();
  const float* __restrict wr = scaledRe_.data();
  const float* __restrict wi = scaledIm_.data();
  // Post-twiddle (with the factor 2/n) in place over the contiguous arrays, as vector code.
  for (int q = 0; q < h; ++q) {
    const float re = zr[q] * wr[q] - zi[q] * wi[q];
    const float im = zr[q] * wi[q] + zi[q] * wr[q];
    zr[q] = re;
    zi[q] = im;
  }
  // Result q is the DCT-IV output u[2q] = zr[q], u[m - 1 - 2q] = -zi[q]; the inverse
  // transform's samples are x[j] = u[j + h] (j < h), -u[3h - 1 - j] (h <= j < 3h) and
  // -u[j - 3h] (j >= 3h). Step r places the four results r, h/2 - 1 - r, h/2 + r and
  // h - 1 - r, which land on the same four positions 2r, 2r + 1, h + 2r, h + 2r + 1 of
  // both halves.
  int r = 0;
#if defined(__SSE2__)
  // Four steps at once: the results come in forwards or backwards runs of four, and the
  // even and odd positions they land on are interleaved.
  const __m128 sign = _mm_set1_ps(-0.0f);
  auto reversed = [](const float* at) {
    const __m128 v = _mm_loadu_ps(at);
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
  };
  auto put = [](float* out, const float* window, const float* plus, __m128 even, __m128 odd) {
    const __m128 low = _mm_mul_ps(_mm_unpacklo_ps(even, odd), _mm_loadu_ps(window));
    const __m128 high = _mm_mul_ps(_mm_unpackhi_ps(even, odd), _mm_loadu_ps(window + 4));
    _mm_storeu_ps(out, plus != nullptr ? _mm_add_ps(low, _mm_loadu_ps(plus)) : low);
    _mm_storeu_ps(out + 4, plus != nullptr ? _mm_add_ps(high, _mm_loadu_ps(plus + 4)) : high);
  };
  for (; r + 4 <= h / 2; r += 4) {
    const int even = 2 * r;
    put(first + even, rise + even, add + even, _mm_loadu_ps(zr + h / 2 + r),
        _mm_xor_ps(sign, reversed(zi + h / 2 - 4 - r)));
    put(first + h + even, rise + h + even, add + h + even, _mm_loadu_ps(zi + r),
        _mm_xor_ps(sign, reversed(zr + h - 4 - r)));
    put(second + even, fall + even, nullptr, _mm_loadu_ps(zi + h / 2 + r),
        _mm_xor_ps(sign, reversed(zr + h / 2 - 4 - r)));
    put(second + h + even, fall + h + even, nullptr, _mm_xor_ps(sign, _mm_loadu_ps(zr + r)),
        reversed(zi + h - 4 - r));
  }
#endif
  for (; r < h / 2; ++r) {
    const int even = 2 * r;
    const int odd = even + 1;
    first[even] = zr[h / 2 + r] * rise[even] + add[even];
    first[odd] = -zi[h / 2 - 1 - r] * rise[odd] + add[odd];
    first[h + even] = zi[r] * rise[h + even] + add[h + even];
    first[h + odd] = -zr[h - 1 - r] * rise[h + odd] + add[h + odd];
    second[even] = zi[h / 2 + r] * fall[even];
    second[odd] = -zr[h / 2 - 1 - r] * fall[odd];
    second[h + even] = -zr[r] * fall[h + even];
    second[h + odd] = zi[h - 1 - r] * fall[h + odd];
  }
}

void Mdct::ForwardWindowed(const float* in, const float* rise, const float* fall, float* coefs) {
  const int m = n_ / 2;
  const int h = m / 2;
  // The windowed samples w[j] in[j], folded into the length-m input of the DCT-IV.
  auto windowed = [&](int j) { return j < m ? in[j] * rise[j] : in[j] * fall[j - m]; };
  float* u = fold_.data();
  for (int j = 0; j < h; ++j) u[j] = -windowed(3 * h - 1 - j) - windowed(3 * h + j);
  for (int j = h; j < m; ++j) u[j] = windowed(j - h) - windowed(3 * h - 1 - j);
  Transform(u);
  const float* zr = workRe_.data();
  const float* zi = workIm_.data();
  const float* wr = twiddleRe_.data();
  const float* wi = twiddleIm_.data();
  for (int q = 0; q < h; ++q) {
    const float re = zr[q] * wr[q] - zi[q] * wi[q];
    const float im = zr[q] * wi[q] + zi[q] * wr[q];
    coefs[2 * q] = 2.0f * re;
    coefs[m - 1 - 2 * q] = -2.0f * im;
  }
}

}  // namespace zbaac
