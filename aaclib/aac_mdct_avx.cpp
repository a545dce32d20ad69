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

Float8 Load(const float* at) {
  Float8 v;
  __builtin_memcpy(&v, at, sizeof v);
  return v;
}

void Store(float* at, Float8 v) { __builtin_memcpy(at, &v, sizeof v); }

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

}  // namespace zbaac::lanes8

#endif
