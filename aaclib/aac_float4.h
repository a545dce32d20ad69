// Four-lane float vectors for the transforms: the compiler's vector extension, which is
// SSE2 on x86-64 and plain code where a target has no such registers. Every lane does the
// arithmetic the scalar code would, in the same order, so results do not depend on it.
#pragma once

#include <cstring>

namespace zbaac {

using Float4 = float __attribute__((vector_size(16)));

inline Float4 Load4(const float* at) {
  Float4 v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

inline void Store4(float* at, Float4 v) { std::memcpy(at, &v, sizeof v); }

inline Float4 Splat4(float x) { return Float4{x, x, x, x}; }

// Rows a, b, c, d become the columns: a = (a0, b0, c0, d0), b = (a1, b1, c1, d1), ...
inline void Transpose4(Float4& a, Float4& b, Float4& c, Float4& d) {
  const Float4 ab01 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
  const Float4 ab23 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  const Float4 cd01 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
  const Float4 cd23 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  a = __builtin_shufflevector(ab01, cd01, 0, 1, 4, 5);
  b = __builtin_shufflevector(ab01, cd01, 2, 3, 6, 7);
  c = __builtin_shufflevector(ab23, cd23, 0, 1, 4, 5);
  d = __builtin_shufflevector(ab23, cd23, 2, 3, 6, 7);
}

// Four complex values.
struct Complex4 {
  Float4 re;
  Float4 im;
};

inline Complex4 operator+(Complex4 a, Complex4 b) { return {a.re + b.re, a.im + b.im}; }
inline Complex4 operator-(Complex4 a, Complex4 b) { return {a.re - b.re, a.im - b.im}; }

// a times (wr + i wi), as re wr - im wi and re wi + im wr.
inline Complex4 Rotate(Complex4 a, Float4 wr, Float4 wi) { return {a.re * wr - a.im * wi, a.re * wi + a.im * wr}; }

// The radix-4 butterfly on a, b, c, d (b, c, d twiddled already): a + b + c + d,
// (a - b) - i (c - d), a + b - c - d, (a - b) + i (c - d).
struct Radix4Out4 {
  Complex4 o0, o1, o2, o3;
};

inline Radix4Out4 Radix4(Complex4 a, Complex4 b, Complex4 c, Complex4 d) {
  const Complex4 s0 = a + b;
  const Complex4 s1 = a - b;
  const Complex4 t0 = c + d;
  const Complex4 t1 = c - d;
  return {s0 + t0, {s1.re + t1.im, s1.im - t1.re}, s0 - t0, {s1.re - t1.im, s1.im + t1.re}};
}

}  // namespace zbaac
