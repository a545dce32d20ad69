// The eight-lane forms of the transforms' hot loops. This file alone is compiled for AVX2,
// without FMA and without contracting a * b + c (which rounds once where the four-lane code
// rounds twice), so that every lane computes the bits the four-lane code does. Its
// functions run only where the processor has AVX2, chosen when an Fft or Mdct is built.
//
// Every helper here has internal linkage and the file uses no inline function of a shared
// header: the linker keeps one copy of an inline function for the whole library, and an
// AVX2 copy made here could then run on a processor without it.
#include "aaclib/aac_mdct_avx.h"

#if defined(__AVX2__)

namespace zbaac::lanes8 {
namespace {

using Float8 = float __attribute__((vector_size(32)));
using Half = float __attribute__((vector_size(16)));

Float8 Load(const float* at) {
  Float8 v;
  __builtin_memcpy(&v, at, sizeof v);
  return v;
}

void Store(float* at, Float8 v) { __builtin_memcpy(at, &v, sizeof v); }

// The four values at `at` in both halves.
Float8 LoadTwice(const float* at) {
  Half h;
  __builtin_memcpy(&h, at, sizeof h);
  return __builtin_shufflevector(h, h, 0, 1, 2, 3, 0, 1, 2, 3);
}

void StoreLow(float* at, Float8 v) {
  const Half h = __builtin_shufflevector(v, v, 0, 1, 2, 3);
  __builtin_memcpy(at, &h, sizeof h);
}

void StoreHigh(float* at, Float8 v) {
  const Half h = __builtin_shufflevector(v, v, 4, 5, 6, 7);
  __builtin_memcpy(at, &h, sizeof h);
}

Float8 Splat(float x) { return Float8{x, x, x, x, x, x, x, x}; }

// Transpose4 of the four-lane code on each half: two 4 x 4 transposes side by side.
void TransposeHalves(Float8& a, Float8& b, Float8& c, Float8& d) {
  const Float8 ab01 = __builtin_shufflevector(a, b, 0, 8, 1, 9, 4, 12, 5, 13);
  const Float8 ab23 = __builtin_shufflevector(a, b, 2, 10, 3, 11, 6, 14, 7, 15);
  const Float8 cd01 = __builtin_shufflevector(c, d, 0, 8, 1, 9, 4, 12, 5, 13);
  const Float8 cd23 = __builtin_shufflevector(c, d, 2, 10, 3, 11, 6, 14, 7, 15);
  a = __builtin_shufflevector(ab01, cd01, 0, 1, 8, 9, 4, 5, 12, 13);
  b = __builtin_shufflevector(ab01, cd01, 2, 3, 10, 11, 6, 7, 14, 15);
  c = __builtin_shufflevector(ab23, cd23, 0, 1, 8, 9, 4, 5, 12, 13);
  d = __builtin_shufflevector(ab23, cd23, 2, 3, 10, 11, 6, 7, 14, 15);
}

struct Complex8 {
  Float8 re;
  Float8 im;
};

Complex8 operator+(Complex8 a, Complex8 b) { return {a.re + b.re, a.im + b.im}; }
Complex8 operator-(Complex8 a, Complex8 b) { return {a.re - b.re, a.im - b.im}; }

// a times (wr + i wi), as re wr - im wi and re wi + im wr.
Complex8 Rotate(Complex8 a, Float8 wr, Float8 wi) { return {a.re * wr - a.im * wi, a.re * wi + a.im * wr}; }

struct Radix4Out {
  Complex8 o0, o1, o2, o3;
};

// a + b + c + d, (a - b) - i (c - d), a + b - c - d, (a - b) + i (c - d).
Radix4Out Radix4(Complex8 a, Complex8 b, Complex8 c, Complex8 d) {
  const Complex8 s0 = a + b;
  const Complex8 s1 = a - b;
  const Complex8 t0 = c + d;
  const Complex8 t1 = c - d;
  return {s0 + t0, {s1.re + t1.im, s1.im - t1.re}, s0 - t0, {s1.re - t1.im, s1.im + t1.re}};
}

void TransposeComplex(Complex8& a, Complex8& b, Complex8& c, Complex8& d) {
  TransposeHalves(a.re, b.re, c.re, d.re);
  TransposeHalves(a.im, b.im, c.im, d.im);
}

// The radix-4 stage on four groups held as rows g0 .. g3, four positions k0 .. k0 + 3 of
// the stage's m in each half, the low halves stored at re/im + q x m for the four outputs
// q, the high halves `high` values further on.
__attribute__((always_inline)) inline void CombineRows(const Complex8& g0, const Complex8& g1, const Complex8& g2,
                                                       const Complex8& g3, const float* tw, int m, int k0, float* re,
                                                       float* im, int high) {
  const Complex8 b = Rotate(g1, LoadTwice(tw + 2 * m + k0), LoadTwice(tw + 3 * m + k0));
  const Complex8 c = Rotate(g2, LoadTwice(tw + k0), LoadTwice(tw + m + k0));
  const Complex8 d = Rotate(g3, LoadTwice(tw + 4 * m + k0), LoadTwice(tw + 5 * m + k0));
  const Radix4Out o = Radix4(g0, b, c, d);
  const Complex8 outs[4] = {o.o0, o.o1, o.o2, o.o3};
  for (int q = 0; q < 4; ++q) {
    StoreLow(re + q * m, outs[q].re);
    StoreLow(im + q * m, outs[q].im);
    StoreHigh(re + high + q * m, outs[q].re);
    StoreHigh(im + high + q * m, outs[q].im);
  }
}

// The radix-4 stage of m = 8 on four groups of one block held as rows g0 .. g3 (all
// eight positions), stored at re/im + 8q for the four outputs q.
__attribute__((always_inline)) inline void CombineRowsOf8(const Complex8& g0, const Complex8& g1, const Complex8& g2,
                                                          const Complex8& g3, const float* tw, float* re, float* im) {
  const Complex8 b = Rotate(g1, Load(tw + 16), Load(tw + 24));
  const Complex8 c = Rotate(g2, Load(tw), Load(tw + 8));
  const Complex8 d = Rotate(g3, Load(tw + 32), Load(tw + 40));
  const Radix4Out o = Radix4(g0, b, c, d);
  const Complex8 outs[4] = {o.o0, o.o1, o.o2, o.o3};
  for (int q = 0; q < 4; ++q) {
    Store(re + 8 * q, outs[q].re);
    Store(im + 8 * q, outs[q].im);
  }
}

// The low halves of a and b side by side, and their high halves.
Complex8 LowHalves(const Complex8& a, const Complex8& b) {
  return {__builtin_shufflevector(a.re, b.re, 0, 1, 2, 3, 8, 9, 10, 11),
          __builtin_shufflevector(a.im, b.im, 0, 1, 2, 3, 8, 9, 10, 11)};
}
Complex8 HighHalves(const Complex8& a, const Complex8& b) {
  return {__builtin_shufflevector(a.re, b.re, 4, 5, 6, 7, 12, 13, 14, 15),
          __builtin_shufflevector(a.im, b.im, 4, 5, 6, 7, 12, 13, 14, 15)};
}

// The eight gathered inputs at x, twiddled.
Complex8 Gathered(const float* gr, const float* gi, const float* wr, const float* wi, int x) {
  return Rotate({Load(gr + x), Load(gi + x)}, Load(wr + x), Load(wi + x));
}

// Even outputs from `even` and odd ones from `odd` read backwards (odd[7], odd[6], ...)
// interleaved, times the window, plus `add` for PutAdding.
Float8 LowInterleaved(Float8 even, Float8 odd) { return __builtin_shufflevector(even, odd, 0, 15, 1, 14, 2, 13, 3, 12); }
Float8 HighInterleaved(Float8 even, Float8 odd) { return __builtin_shufflevector(even, odd, 4, 11, 5, 10, 6, 9, 7, 8); }

void Put(float* out, const float* window, Float8 even, Float8 odd) {
  Store(out, LowInterleaved(even, odd) * Load(window));
  Store(out + 8, HighInterleaved(even, odd) * Load(window + 8));
}

void PutAdding(float* out, const float* window, const float* add, Float8 even, Float8 odd) {
  Store(out, LowInterleaved(even, odd) * Load(window) + Load(add));
  Store(out + 8, HighInterleaved(even, odd) * Load(window + 8) + Load(add + 8));
}

}  // namespace

void FftStage(float* re, float* im, const float* tw, int m, int points) {
  const float* w1r = tw;
  const float* w1i = tw + m;
  const float* w2r = tw + 2 * m;
  const float* w2i = tw + 3 * m;
  const float* w3r = tw + 4 * m;
  const float* w3i = tw + 5 * m;
  // In bit-reversed order the four blocks of a group hold the sub-transforms of the
  // residues 0, 2, 1, 3 (mod 4).
  for (int base = 0; base < points; base += 4 * m) {
    float* r0 = re + base;
    float* i0 = im + base;
    float* r1 = r0 + m;
    float* i1 = i0 + m;
    float* r2 = r0 + 2 * m;
    float* i2 = i0 + 2 * m;
    float* r3 = r0 + 3 * m;
    float* i3 = i0 + 3 * m;
    for (int k = 0; k < m; k += 8) {
      const Complex8 a{Load(r0 + k), Load(i0 + k)};
      const Complex8 b = Rotate({Load(r1 + k), Load(i1 + k)}, Load(w2r + k), Load(w2i + k));
      const Complex8 c = Rotate({Load(r2 + k), Load(i2 + k)}, Load(w1r + k), Load(w1i + k));
      const Complex8 d = Rotate({Load(r3 + k), Load(i3 + k)}, Load(w3r + k), Load(w3i + k));
      const Radix4Out o = Radix4(a, b, c, d);
      Store(r0 + k, o.o0.re);
      Store(i0 + k, o.o0.im);
      Store(r1 + k, o.o1.re);
      Store(i1 + k, o.o1.im);
      Store(r2 + k, o.o2.re);
      Store(i2 + k, o.o2.im);
      Store(r3 + k, o.o3.re);
      Store(i3 + k, o.o3.im);
    }
  }
}

void Gather(const float* in, int rows, int columns, const std::uint16_t* to, float* slots) {
  for (int row = 0; row < rows; row += 4) {
    for (int column = 0; column < columns; column += 8, to += 4) {
      Float8 a = Load(in + columns * row + column);
      Float8 b = Load(in + columns * (row + 2) + column);
      Float8 c = Load(in + columns * (row + 1) + column);
      Float8 d = Load(in + columns * (row + 3) + column);
      TransposeHalves(a, b, c, d);
      // Columns 0 and 2 (4 and 6) are the real parts of a pair of blocks, columns 3 and 1
      // (7 and 5), read backwards, their imaginary parts.
      Store(slots + to[0], __builtin_shufflevector(a, c, 0, 1, 2, 3, 8, 9, 10, 11));
      Store(slots + to[1], __builtin_shufflevector(a, c, 4, 5, 6, 7, 12, 13, 14, 15));
      Store(slots + to[2], __builtin_shufflevector(d, b, 3, 2, 1, 0, 11, 10, 9, 8));
      Store(slots + to[3], __builtin_shufflevector(d, b, 7, 6, 5, 4, 15, 14, 13, 12));
    }
  }
}

void FirstPassOf32(const float* gathered, const float* wr, const float* wi, int quarter, const float* tw2,
                   const float* tw8, float* workRe, float* workIm) {
  const Float8 w1r = Splat(tw2[1]), w1i = Splat(tw2[3]);
  const Float8 w2r = Splat(tw2[5]), w2i = Splat(tw2[7]);
  const Float8 w3r = Splat(tw2[9]), w3i = Splat(tw2[11]);
  const float* gr = gathered;
  const float* gi = gathered + quarter;
  const int high = quarter / 2;
  for (int pair = 0; pair < quarter; pair += 64) {
    Complex8 e[8];
    for (int j = 0; j < 8; ++j) e[j] = Gathered(gr, gi, wr, wi, pair + 8 * j);
    // The radix-2 stage, then the radix-4 stage of m = 2: position 0 without twiddles,
    // position 1 with W^2, W^1, W^3 on blocks 1, 2, 3.
    Complex8 r[8];
    for (int j = 0; j < 8; j += 2) {
      r[j] = e[j] + e[j + 1];
      r[j + 1] = e[j] - e[j + 1];
    }
    const Radix4Out even = Radix4(r[0], r[2], r[4], r[6]);
    const Radix4Out odd = Radix4(r[1], Rotate(r[3], w2r, w2i), Rotate(r[5], w1r, w1i), Rotate(r[7], w3r, w3i));
    Complex8 low[4] = {even.o0, odd.o0, even.o1, odd.o1};
    Complex8 up[4] = {even.o2, odd.o2, even.o3, odd.o3};
    TransposeComplex(low[0], low[1], low[2], low[3]);
    TransposeComplex(up[0], up[1], up[2], up[3]);
    // Each group's positions 0 .. 3 (low) and 4 .. 7 (up) of one block in one row.
    float* re = workRe + pair / 2;
    float* im = workIm + pair / 2;
    CombineRowsOf8(LowHalves(low[0], up[0]), LowHalves(low[1], up[1]), LowHalves(low[2], up[2]),
                   LowHalves(low[3], up[3]), tw8, re, im);
    CombineRowsOf8(HighHalves(low[0], up[0]), HighHalves(low[1], up[1]), HighHalves(low[2], up[2]),
                   HighHalves(low[3], up[3]), tw8, re + high, im + high);
  }
}

void FirstPassOf16(const float* gathered, const float* wr, const float* wi, int quarter, const float* tw4,
                   float* workRe, float* workIm) {
  const float* gr = gathered;
  const float* gi = gathered + quarter;
  const int high = quarter / 2;
  for (int pair = 0; pair < quarter; pair += 32) {
    Complex8 e[4];
    for (int j = 0; j < 4; ++j) e[j] = Gathered(gr, gi, wr, wi, pair + 8 * j);
    // The first radix-4 stage has no twiddles.
    const Radix4Out first = Radix4(e[0], e[1], e[2], e[3]);
    Complex8 rows[4] = {first.o0, first.o1, first.o2, first.o3};
    TransposeComplex(rows[0], rows[1], rows[2], rows[3]);
    CombineRows(rows[0], rows[1], rows[2], rows[3], tw4, 4, 0, workRe + pair / 2, workIm + pair / 2, high);
  }
}

void InverseLastStage(const float* re, const float* im, const float* tw, int m, const float* wr, const float* wi,
                      const float* rise, const float* fall, const float* add, float* first, float* second) {
  const int h = 4 * m;
  const Float8 sign = Splat(-0.0f);
  auto flip = [&](Float8 v) {
    using Bits = unsigned __attribute__((vector_size(32)));
    return reinterpret_cast<Float8>(reinterpret_cast<Bits>(v) ^ reinterpret_cast<Bits>(sign));
  };
  // The last stage at positions k .. k + 7 (as FftStage), giving results q = k + j m for
  // j < 4, each post-twiddled.
  auto stage = [&](int k, Complex8 out[4]) {
    const Complex8 a{Load(re + k), Load(im + k)};
    const Complex8 b = Rotate({Load(re + m + k), Load(im + m + k)}, Load(tw + 2 * m + k), Load(tw + 3 * m + k));
    const Complex8 c = Rotate({Load(re + 2 * m + k), Load(im + 2 * m + k)}, Load(tw + k), Load(tw + m + k));
    const Complex8 d =
        Rotate({Load(re + 3 * m + k), Load(im + 3 * m + k)}, Load(tw + 4 * m + k), Load(tw + 5 * m + k));
    const Radix4Out o = Radix4(a, b, c, d);
    out[0] = Rotate(o.o0, Load(wr + k), Load(wi + k));
    out[1] = Rotate(o.o1, Load(wr + m + k), Load(wi + m + k));
    out[2] = Rotate(o.o2, Load(wr + 2 * m + k), Load(wi + 2 * m + k));
    out[3] = Rotate(o.o3, Load(wr + 3 * m + k), Load(wi + 3 * m + k));
  };
  // Result q of the DCT-IV is u[2q] = re, u[m - 1 - 2q] = -im. The results from q (below
  // h/2) and from h - 8 - q (read backwards) fill positions 2q .. 2q + 15 of the second
  // quarter of each half (the step r = q of the four-lane code), and positions 2r' ..
  // 2r' + 15, r' = h/2 - 8 - q, of the first quarter (its step r').
  auto emit = [&](int q, const Complex8& low, const Complex8& high) {
    const int even = 2 * q;
    const Float8 lowReNegated = flip(low.re);
    PutAdding(first + h + even, rise + h + even, add + h + even, low.im, flip(high.re));
    Put(second + h + even, fall + h + even, lowReNegated, high.im);
    const int mirrored = 2 * (h / 2 - 8 - q);
    PutAdding(first + mirrored, rise + mirrored, add + mirrored, high.re, flip(low.im));
    Put(second + mirrored, fall + mirrored, high.im, lowReNegated);
  };
  // Positions k and m - 8 - k of the stage give the results q and h - 8 - q that go
  // together.
  for (int k = 0; k < m / 2; k += 8) {
    Complex8 a[4], b[4];
    stage(k, a);
    stage(m - 8 - k, b);
    emit(k, a[0], b[3]);
    emit(m + k, a[1], b[2]);
    emit(m - 8 - k, b[0], a[3]);
    emit(2 * m - 8 - k, b[1], a[2]);
  }
}

}  // namespace zbaac::lanes8

#endif
