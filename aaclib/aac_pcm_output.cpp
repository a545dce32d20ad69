// Conversion of filterbank output to interleaved 16-bit PCM.
#include "aaclib/aac_pcm_output.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define ZBAAC_PCM_AVX2 1
#endif

namespace zbaac {

namespace {

#if defined(__SSE2__)
// ToPcm16 on four values at once, step for step: the same clamps, truncation and exact
// fraction test. Results lie within 16 bits. minps gives its second operand when the
// first is not a number, so a NaN becomes 32767 as in ToPcm16.
inline __m128i ToPcm16x4(__m128 x) {
  const __m128 clamped = _mm_max_ps(_mm_min_ps(x, _mm_set1_ps(32767.0f)), _mm_set1_ps(-32768.0f));
  const __m128i truncated = _mm_cvttps_epi32(clamped);
  const __m128 fraction = _mm_sub_ps(clamped, _mm_cvtepi32_ps(truncated));
  // Comparison masks are -1 where true.
  const __m128i up = _mm_castps_si128(_mm_cmpge_ps(fraction, _mm_set1_ps(0.5f)));
  const __m128i down = _mm_castps_si128(_mm_cmple_ps(fraction, _mm_set1_ps(-0.5f)));
  return _mm_add_epi32(_mm_sub_epi32(truncated, up), down);
}
#endif

#if defined(ZBAAC_PCM_AVX2)
// ToPcm16x4 on eight values, for processors with AVX2 (the same steps, so the same
// results).
__attribute__((target("avx2"))) inline __m256i ToPcm16x8(__m256 x) {
  const __m256 clamped = _mm256_max_ps(_mm256_min_ps(x, _mm256_set1_ps(32767.0f)), _mm256_set1_ps(-32768.0f));
  const __m256i truncated = _mm256_cvttps_epi32(clamped);
  const __m256 fraction = _mm256_sub_ps(clamped, _mm256_cvtepi32_ps(truncated));
  const __m256i up = _mm256_castps_si256(_mm256_cmp_ps(fraction, _mm256_set1_ps(0.5f), _CMP_GE_OQ));
  const __m256i down = _mm256_castps_si256(_mm256_cmp_ps(fraction, _mm256_set1_ps(-0.5f), _CMP_LE_OQ));
  return _mm256_add_epi32(_mm256_sub_epi32(truncated, up), down);
}

// Sixteen periods at a time; returns the periods done. The packing works within each
// 128-bit half, so a half holds periods 0 .. 3 and 8 .. 11 (or 4 .. 7 and 12 .. 15) of
// both channels, and the interleaving within halves puts them back in order. One channel
// in both slots (`left` and `right` the same) is converted once.
__attribute__((target("avx2"))) int InterleaveAvx2(const float* left, const float* right, std::int16_t* out,
                                                    int periods) {
  const bool oneChannel = left == right;
  int k = 0;
  for (; k + 16 <= periods; k += 16) {
    const __m256i l =
        _mm256_packs_epi32(ToPcm16x8(_mm256_loadu_ps(left + k)), ToPcm16x8(_mm256_loadu_ps(left + k + 8)));
    const __m256i r = oneChannel ? l
                                 : _mm256_packs_epi32(ToPcm16x8(_mm256_loadu_ps(right + k)),
                                                      ToPcm16x8(_mm256_loadu_ps(right + k + 8)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * k), _mm256_unpacklo_epi16(l, r));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * k + 16), _mm256_unpackhi_epi16(l, r));
  }
  return k;
}
#endif

// The conversion from period `k` on without AVX2 (one channel in both slots converted once
// here too).
void InterleaveFrom(int k, const float* left, const float* right, std::int16_t* out, int periods) {
#if defined(__SSE2__)
  const bool oneChannel = left == right;
  for (; k + 8 <= periods; k += 8) {
    const __m128i l = _mm_packs_epi32(ToPcm16x4(_mm_loadu_ps(left + k)), ToPcm16x4(_mm_loadu_ps(left + k + 4)));
    const __m128i r =
        oneChannel ? l : _mm_packs_epi32(ToPcm16x4(_mm_loadu_ps(right + k)), ToPcm16x4(_mm_loadu_ps(right + k + 4)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k), _mm_unpacklo_epi16(l, r));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k + 8), _mm_unpackhi_epi16(l, r));
  }
#endif
  for (; k < periods; ++k) {
    out[2 * k] = ToPcm16(left[k]);
    out[2 * k + 1] = ToPcm16(right[k]);
  }
}

}  // namespace

void InterleavePcm16(const float* left, const float* right, std::int16_t* out, int periods) {
  int k = 0;
#if defined(ZBAAC_PCM_AVX2)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) k = InterleaveAvx2(left, right, out, periods);
#endif
  InterleaveFrom(k, left, right, out, periods);
}

void InterleavePcm16Baseline(const float* left, const float* right, std::int16_t* out, int periods) {
  InterleaveFrom(0, left, right, out, periods);
}

}  // namespace zbaac
