// Windowed inverse and forward MDCT through a quarter-length complex FFT.
#include "aaclib/aac_mdct.h"

#include <cassert>
#include <cmath>

#include "aaclib/aac_float4.h"
#include "aaclib/aac_mdct_avx.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace zbaac {

Mdct::Mdct(int n, Lanes lanes)
    : n_(n),
      fft_(n / 4, n >= 256 ? lanes : Lanes::kFour),
      firstPassPoints_(0),
      twiddleRe_(n / 4),
      twiddleIm_(n / 4),
      scaledRe_(n / 4),
      scaledIm_(n / 4),
      gathered_(n / 2),
      workRe_(n / 4),
      workIm_(n / 4),
      fold_(n / 2) {
  const int quarter = n / 4;
  int bits = 0;
  while ((1 << bits) < quarter) ++bits;
  assert((1 << bits) == quarter && quarter >= 16 && "MDCT size must be 32 times a power of two");
  // An odd power of two starts with 8-point transforms and the stage that makes 32-point
  // ones; an even one with 4-point transforms and the stage that makes 16-point ones.
  firstPassPoints_ = bits % 2 == 1 ? 32 : 16;
  assert(quarter >= firstPassPoints_ && "MDCT too small for its first pass");
  // 2/n is a power of two, so the scaled twiddles give exactly the products that scaling
  // the transform's result afterwards would.
  const float scale = 2.0f / static_cast<float>(n);
  for (int p = 0; p < quarter; ++p) {
    const double angle = -2.0 * M_PI * (p + 0.125) / n;
    twiddleRe_[p] = static_cast<float>(std::cos(angle));
    twiddleIm_[p] = static_cast<float>(std::sin(angle));
    scaledRe_[p] = scale * twiddleRe_[p];
    scaledIm_[p] = scale * twiddleIm_[p];
  }
  // The first pass takes, block after block of 4 x `group` FFT inputs, element j of each
  // of the four groups in its four lanes: the FFT input at block + group x lane + j,
  // which is value p = the bit reversal of that place, made of in[2p] + i in[m - 1 - 2p].
  // With eight lanes, block b's four lanes sit beside those of block b + blocks / 2.
  const int m = n / 2;
  const int group = firstPassPoints_ / 4;
  const int blocks = quarter / firstPassPoints_;
  const bool eight = fft_.EightLanes();
  assert((!eight || blocks % 2 == 0) && "MDCT too small for the eight-lane first pass");
  auto slotOf = [&](int block, int j, int lane) {
    if (!eight) return firstPassPoints_ * block + 4 * j + lane;
    const int pair = block % (blocks / 2);
    return 2 * firstPassPoints_ * pair + 8 * j + 4 * (block / (blocks / 2)) + lane;
  };
  std::vector<int> slotOfRe(static_cast<std::size_t>(m), -1);  // where each input value goes
  std::vector<int> slotOfIm(static_cast<std::size_t>(m), -1);
  gatherTwiddleRe_.resize(static_cast<std::size_t>(quarter));
  gatherTwiddleIm_.resize(static_cast<std::size_t>(quarter));
  for (int block = 0; block < blocks; ++block) {
    for (int j = 0; j < group; ++j) {
      for (int lane = 0; lane < 4; ++lane) {
        const int slot = slotOf(block, j, lane);
        const int p = fft_.Reversal()[firstPassPoints_ * block + group * lane + j];
        slotOfRe[static_cast<std::size_t>(2 * p)] = slot;
        slotOfIm[static_cast<std::size_t>(m - 1 - 2 * p)] = slot;
        gatherTwiddleRe_[static_cast<std::size_t>(slot)] = twiddleRe_[p];
        gatherTwiddleIm_[static_cast<std::size_t>(slot)] = twiddleIm_[p];
      }
    }
  }
  // Seen as a matrix of 4 x `group` rows, the input holds in each column the values of
  // the four lanes of one slot on four rows next to each other: rows r, r + 2, r + 1,
  // r + 3 in lane order for a real part (even columns), the reverse for an imaginary part
  // (odd columns, whose values come from the mirrored place m - 1 - 2p). So 4 x 4 tiles
  // transposed give whole slots. Each tile's columns are recorded with the slot they fill
  // (imaginary parts after the `quarter` real ones). With eight lanes a load spans two
  // tiles side by side; in bit-reversed order block b + blocks / 2 takes its values two
  // columns to the right of block b's, so columns c and c + 2 of a tile fill the low and
  // high lanes of one eight-lane slot, columns c + 3 and c + 1 those of another, and the
  // places of those two slots are recorded per tile.
  const int rows = 4 * group;
  const int columns = m / rows;
  const int width = eight ? 8 : 4;
  assert(columns % width == 0 && "MDCT too small for its gather");
  constexpr int kLaneRow[4] = {0, 2, 1, 3};
  for (int row = 0; row < rows; row += 4) {
    for (int column = 0; column < columns; column += width) {
      std::uint16_t pieces[8];  // per column k, per tile
      int count = 0;
      for (int k = 0; k < 4; ++k) {
        for (int tile = 0; tile < width; tile += 4) {
          auto at = [&](int lane) {
            return static_cast<std::size_t>(columns * (row + kLaneRow[lane]) + column + tile + k);
          };
          const bool real = k % 2 == 0;
          const int first = real ? slotOfRe[at(0)] : slotOfIm[at(3)];
          for (int lane = 0; lane < 4; ++lane) {
            assert((real ? slotOfRe[at(lane)] == first + lane : slotOfIm[at(lane)] == first + 3 - lane) &&
                   "the input's tiles do not hold whole slots");
          }
          pieces[count++] = static_cast<std::uint16_t>(real ? first : quarter + first);
        }
      }
      if (!eight) {
        tileSlots_.insert(tileSlots_.end(), pieces, pieces + 4);
        continue;
      }
      // pieces: columns 0, 4, 1, 5, 2, 6, 3, 7 of the two tiles.
      assert(pieces[0] + 4 == pieces[4] && pieces[1] + 4 == pieces[5] && pieces[6] + 4 == pieces[2] &&
             pieces[7] + 4 == pieces[3] && "the tiles' columns do not pair into eight-lane slots");
      for (int piece : {0, 1, 6, 7}) tileSlots_.push_back(pieces[piece]);
    }
  }
}

namespace {

// The four inputs of a slot, twiddled.
inline Complex4 Gathered(const float* re, const float* im, const float* wr, const float* wi) {
  return Rotate({Load4(re), Load4(im)}, Load4(wr), Load4(wi));
}

inline Float4 Reversed(Float4 v) { return __builtin_shufflevector(v, v, 3, 2, 1, 0); }

// The radix-4 stage on four groups held as rows g0 .. g3 (four positions k each, from
// k0 of the stage's m positions), stored at `at` + q x m for the four outputs q.
inline void CombineRows(const Complex4& g0, const Complex4& g1, const Complex4& g2, const Complex4& g3,
                        const float* tw, int m, int k0, float* re, float* im) {
  const Complex4 b = Rotate(g1, Load4(tw + 2 * m + k0), Load4(tw + 3 * m + k0));
  const Complex4 c = Rotate(g2, Load4(tw + k0), Load4(tw + m + k0));
  const Complex4 d = Rotate(g3, Load4(tw + 4 * m + k0), Load4(tw + 5 * m + k0));
  const Radix4Out4 o = Radix4(g0, b, c, d);
  Store4(re, o.o0.re);
  Store4(im, o.o0.im);
  Store4(re + m, o.o1.re);
  Store4(im + m, o.o1.im);
  Store4(re + 2 * m, o.o2.re);
  Store4(im + 2 * m, o.o2.im);
  Store4(re + 3 * m, o.o3.re);
  Store4(im + 3 * m, o.o3.im);
}

inline void TransposeComplex(Complex4& a, Complex4& b, Complex4& c, Complex4& d) {
  Transpose4(a.re, b.re, c.re, d.re);
  Transpose4(a.im, b.im, c.im, d.im);
}

}  // namespace

void Mdct::Gather(const float* in) {
  const int rows = firstPassPoints_;  // 4 x group
  const int columns = n_ / 2 / rows;
  float* slots = gathered_.data();
  const std::uint16_t* to = tileSlots_.data();
#if defined(__x86_64__)
  if (EightLanes()) {
    lanes8::Gather(in, rows, columns, to, slots);
    return;
  }
#endif
  for (int row = 0; row < rows; row += 4) {
    for (int column = 0; column < columns; column += 4, to += 4) {
      Float4 a = Load4(in + columns * row + column);
      Float4 b = Load4(in + columns * (row + 2) + column);
      Float4 c = Load4(in + columns * (row + 1) + column);
      Float4 d = Load4(in + columns * (row + 3) + column);
      Transpose4(a, b, c, d);
      Store4(slots + to[0], a);
      Store4(slots + to[1], Reversed(b));
      Store4(slots + to[2], c);
      Store4(slots + to[3], Reversed(d));
    }
  }
}

void Mdct::FirstPassOf32() {
  const int quarter = n_ / 4;
  const float* tw2 = fft_.StageTwiddles(2);
  const float* tw8 = fft_.StageTwiddles(8);
#if defined(__x86_64__)
  if (EightLanes()) {
    lanes8::FirstPassOf32(gathered_.data(), gatherTwiddleRe_.data(), gatherTwiddleIm_.data(), quarter, tw2, tw8,
                          workRe_.data(), workIm_.data());
    return;
  }
#endif
  const Float4 w1r = Splat4(tw2[1]), w1i = Splat4(tw2[3]);
  const Float4 w2r = Splat4(tw2[5]), w2i = Splat4(tw2[7]);
  const Float4 w3r = Splat4(tw2[9]), w3i = Splat4(tw2[11]);
  const float* gr = gathered_.data();
  const float* gi = gathered_.data() + quarter;
  const float* wr = gatherTwiddleRe_.data();
  const float* wi = gatherTwiddleIm_.data();
  for (int block = 0; block < quarter; block += 32) {
    Complex4 e[8];
    for (int j = 0; j < 8; ++j) {
      const int x = block + 4 * j;
      e[j] = Gathered(gr + x, gi + x, wr + x, wi + x);
    }
    // The radix-2 stage, then the radix-4 stage of m = 2: position 0 without twiddles,
    // position 1 with W^2, W^1, W^3 on blocks 1, 2, 3.
    Complex4 r[8];
    for (int j = 0; j < 8; j += 2) {
      r[j] = e[j] + e[j + 1];
      r[j + 1] = e[j] - e[j + 1];
    }
    const Radix4Out4 even = Radix4(r[0], r[2], r[4], r[6]);
    const Radix4Out4 odd = Radix4(r[1], Rotate(r[3], w2r, w2i), Rotate(r[5], w1r, w1i), Rotate(r[7], w3r, w3i));
    // Element j of the four 8-point transforms, then each transform's elements as rows.
    Complex4 low[4] = {even.o0, odd.o0, even.o1, odd.o1};
    Complex4 high[4] = {even.o2, odd.o2, even.o3, odd.o3};
    TransposeComplex(low[0], low[1], low[2], low[3]);
    TransposeComplex(high[0], high[1], high[2], high[3]);
    float* re = workRe_.data() + block;
    float* im = workIm_.data() + block;
    CombineRows(low[0], low[1], low[2], low[3], tw8, 8, 0, re, im);
    CombineRows(high[0], high[1], high[2], high[3], tw8, 8, 4, re + 4, im + 4);
  }
}

void Mdct::FirstPassOf16() {
  const int quarter = n_ / 4;
  const float* tw4 = fft_.StageTwiddles(4);
#if defined(__x86_64__)
  if (EightLanes()) {
    lanes8::FirstPassOf16(gathered_.data(), gatherTwiddleRe_.data(), gatherTwiddleIm_.data(), quarter, tw4,
                          workRe_.data(), workIm_.data());
    return;
  }
#endif
  const float* gr = gathered_.data();
  const float* gi = gathered_.data() + quarter;
  const float* wr = gatherTwiddleRe_.data();
  const float* wi = gatherTwiddleIm_.data();
  for (int block = 0; block < quarter; block += 16) {
    Complex4 e[4];
    for (int j = 0; j < 4; ++j) {
      const int x = block + 4 * j;
      e[j] = Gathered(gr + x, gi + x, wr + x, wi + x);
    }
    // The first radix-4 stage has no twiddles.
    const Radix4Out4 first = Radix4(e[0], e[1], e[2], e[3]);
    Complex4 rows[4] = {first.o0, first.o1, first.o2, first.o3};
    TransposeComplex(rows[0], rows[1], rows[2], rows[3]);
    CombineRows(rows[0], rows[1], rows[2], rows[3], tw4, 4, 0, workRe_.data() + block, workIm_.data() + block);
  }
}

void Mdct::FirstPass() {
  if (firstPassPoints_ == 32) {
    FirstPassOf32();
  } else {
    FirstPassOf16();
  }
}

void Mdct::Transform(const float* in) {
  Gather(in);
  FirstPass();
  fft_.ForwardStagesFrom(firstPassPoints_, workRe_.data(), workIm_.data());
}

void Mdct::TransformButLastStage(const float* in) {
  Gather(in);
  FirstPass();
  fft_.ForwardStagesBetween(firstPassPoints_, n_ / 16, workRe_.data(), workIm_.data());
}

void Mdct::InverseWindowed(const float* coefs, const float* __restrict rise, const float* __restrict fall,
                           const float* __restrict add, float* __restrict first, float* __restrict second) {
  const int m = n_ / 2;
  const int h = m / 2;  // = n/4, the FFT's length
#if defined(__x86_64__)
  if (EightLanes()) {
    // The FFT's last stage, the post-twiddle and the layout in one pass, which saves
    // storing and reloading the FFT's result and the twiddled values.
    TransformButLastStage(coefs);
    lanes8::InverseLastStage(workRe_.data(), workIm_.data(), fft_.StageTwiddles(h / 4), h / 4, scaledRe_.data(),
                             scaledIm_.data(), rise, fall, add, first, second);
    return;
  }
#endif
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
