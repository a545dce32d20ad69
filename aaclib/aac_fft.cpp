// Complex FFT of 64 or 512 points, the quarter-length transforms under the MDCTs.
#include "aaclib/aac_fft.h"

#include "aaclib/aac_float4.h"
#include "aaclib/aac_mdct_avx.h"

#include <cassert>
#include <cmath>
#include <utility>

namespace zbaac {

namespace {

// The floats a stage of m positions takes in twiddles_: its 6m twiddles, rounded up to
// whole cache lines so that the next stage starts on one.
std::size_t StageSpan(int m) { return (6 * static_cast<std::size_t>(m) + 15) / 16 * 16; }

int Log2(int n) {
  int bits = 0;
  while ((1 << bits) < n) ++bits;
  return bits;
}

// One radix-4 butterfly on values a, b, c, d (b, c, d twiddled already). Outputs, in the
// order a', o1, o2, o3 (real, imaginary each): a' = a + b + c + d, o1 = (a - b) - i (c - d),
// o2 = a + b - c - d, o3 = (a - b) + i (c - d).
struct Radix4Out {
  float r0, i0, r1, i1, r2, i2, r3, i3;
};
inline Radix4Out Radix4(float ar, float ai, float br, float bi, float cr, float ci, float dr, float di) {
  const float s0r = ar + br, s0i = ai + bi;
  const float s1r = ar - br, s1i = ai - bi;
  const float t0r = cr + dr, t0i = ci + di;
  const float t1r = cr - dr, t1i = ci - di;
  return {s0r + t0r, s0i + t0i, s1r + t1i, s1i - t1r, s0r - t0r, s0i - t0i, s1r - t1i, s1i + t1r};
}

inline void Store(const Radix4Out& o, float* re, float* im, int at, int step) {
  re[at] = o.r0;
  im[at] = o.i0;
  re[at + step] = o.r1;
  im[at + step] = o.i1;
  re[at + 2 * step] = o.r2;
  im[at + 2 * step] = o.i2;
  re[at + 3 * step] = o.r3;
  im[at + 3 * step] = o.i3;
}

// Radix4 at positions 0 .. m-1 of four blocks (real parts r0..r3, imaginary parts
// i0..i3), blocks 1, 2, 3 twiddled by W^2k, W^k, W^3k (the sub-transforms of the
// residues 2, 1, 3), four positions at a time (m is a multiple of four). At k = 0 the
// twiddles are 1, which multiplies exactly.
inline void Butterflies(float* r0, float* i0, float* r1, float* i1, float* r2, float* i2, float* r3, float* i3,
                        const float* tw, int m) {
  const float* w1r = tw;
  const float* w1i = tw + m;
  const float* w2r = tw + 2 * m;
  const float* w2i = tw + 3 * m;
  const float* w3r = tw + 4 * m;
  const float* w3i = tw + 5 * m;
  for (int k = 0; k < m; k += 4) {
    const Complex4 a{Load4(r0 + k), Load4(i0 + k)};
    const Complex4 b = Rotate({Load4(r1 + k), Load4(i1 + k)}, Load4(w2r + k), Load4(w2i + k));
    const Complex4 c = Rotate({Load4(r2 + k), Load4(i2 + k)}, Load4(w1r + k), Load4(w1i + k));
    const Complex4 d = Rotate({Load4(r3 + k), Load4(i3 + k)}, Load4(w3r + k), Load4(w3i + k));
    const Radix4Out4 o = Radix4(a, b, c, d);
    Store4(r0 + k, o.o0.re);
    Store4(i0 + k, o.o0.im);
    Store4(r1 + k, o.o1.re);
    Store4(i1 + k, o.o1.im);
    Store4(r2 + k, o.o2.re);
    Store4(i2 + k, o.o2.im);
    Store4(r3 + k, o.o3.re);
    Store4(i3 + k, o.o3.im);
  }
}

}  // namespace

bool EightLanesAvailable() {
#if defined(__x86_64__)
  // The eight-lane code is compiled for AVX2; the check also covers the system saving the
  // 256-bit registers.
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return available;
#else
  return false;
#endif
}

Fft::Fft(int points, Lanes lanes)
    : points_(points), eightLanes_(lanes == Lanes::kWidest && EightLanesAvailable()) {
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
    const std::size_t stage = twiddles_.size();
    stageOffsets_[static_cast<std::size_t>(Log2(m))] = static_cast<std::uint32_t>(stage);
    twiddles_.resize(stage + StageSpan(m));
    for (int q = 1; q <= 3; ++q) {
      float* re = twiddles_.data() + stage + 2 * static_cast<std::size_t>(q - 1) * m;
      float* im = re + m;
      for (int k = 0; k < m; ++k) {
        re[k] = static_cast<float>(std::cos(step * k * q));
        im[k] = static_cast<float>(std::sin(step * k * q));
      }
    }
  }
}

void Fft::Forward(float* re, float* im) const {
  const int n = points_;
  for (int i = 0; i < n; ++i) {
    const int r = reversal_[i];
    if (r > i) {
      std::swap(re[i], re[r]);
      std::swap(im[i], im[r]);
    }
  }
  ForwardReordered(re, im);
}

void Fft::ForwardReordered(float* re, float* im) const {
  const int n = points_;
  const float* tw = twiddles_.data();
  int m = 0;
  if (Log2(n) % 2 == 1) {
    // The radix-2 stage and the first radix-4 stage (m = 2) in one pass over groups of
    // eight values, kept in registers between the two.
    const float w1r = tw[1], w1i = tw[3], w2r = tw[5], w2i = tw[7], w3r = tw[9], w3i = tw[11];
    for (int base = 0; base < n; base += 8) {
      float r[8], i[8];
      for (int j = 0; j < 8; j += 2) {
        const float ar = re[base + j], ai = im[base + j];
        const float br = re[base + j + 1], bi = im[base + j + 1];
        r[j] = ar + br;
        i[j] = ai + bi;
        r[j + 1] = ar - br;
        i[j + 1] = ai - bi;
      }
      // Position 0 without twiddles, position 1 with W^2, W^1, W^3 on blocks 1, 2, 3.
      Store(Radix4(r[0], i[0], r[2], i[2], r[4], i[4], r[6], i[6]), re, im, base, 2);
      const float br = r[3] * w2r - i[3] * w2i;
      const float bi = r[3] * w2i + i[3] * w2r;
      const float cr = r[5] * w1r - i[5] * w1i;
      const float ci = r[5] * w1i + i[5] * w1r;
      const float dr = r[7] * w3r - i[7] * w3i;
      const float di = r[7] * w3i + i[7] * w3r;
      Store(Radix4(r[1], i[1], br, bi, cr, ci, dr, di), re, im, base + 1, 2);
    }
    m = 8;
  } else {
    // The first radix-4 stage (m = 1) has no twiddles.
    for (int base = 0; base < n; base += 4) {
      Store(Radix4(re[base], im[base], re[base + 1], im[base + 1], re[base + 2], im[base + 2], re[base + 3],
                   im[base + 3]),
            re, im, base, 1);
    }
    m = 4;
  }
  ForwardStagesFrom(m, re, im);
}

const float* Fft::StageTwiddles(int m) const {
  assert(m > 0 && (m & (m - 1)) == 0 && m < points_ && "no stage of that size");
  return twiddles_.data() + stageOffsets_[static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(m)))];
}

void Fft::ForwardStagesFrom(int points, float* re, float* im) const {
  ForwardStagesBetween(points, points_, re, im);
}

void Fft::ForwardStagesBetween(int points, int upTo, float* re, float* im) const {
  const int n = points_;
  for (int m = points; m < upTo; m *= 4) {
    const float* tw = StageTwiddles(m);
#if defined(__x86_64__)
    if (eightLanes_ && m % 8 == 0) {
      lanes8::FftStage(re, im, tw, m, n);
      continue;
    }
#endif
    // In bit-reversed order the four blocks of a group hold the sub-transforms of the
    // residues 0, 2, 1, 3 (mod 4).
    for (int base = 0; base < n; base += 4 * m) {
      float* r = re + base;
      float* i = im + base;
      Butterflies(r, i, r + m, i + m, r + 2 * m, i + 2 * m, r + 3 * m, i + 3 * m, tw, m);
    }
  }
}

}  // namespace zbaac
