// Conversion of filterbank output to interleaved 16-bit PCM.
#include "aaclib/aac_pcm_output.h"

#if defined(__SSE2__)
#include <emmintrin.h>
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

}  // namespace

void InterleavePcm16(const float* left, const float* right, std::int16_t* out, int periods) {
  int k = 0;
#if defined(__SSE2__)
  for (; k + 8 <= periods; k += 8) {
    const __m128i l = _mm_packs_epi32(ToPcm16x4(_mm_loadu_ps(left + k)), ToPcm16x4(_mm_loadu_ps(left + k + 4)));
    const __m128i r = _mm_packs_epi32(ToPcm16x4(_mm_loadu_ps(right + k)), ToPcm16x4(_mm_loadu_ps(right + k + 4)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k), _mm_unpacklo_epi16(l, r));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k + 8), _mm_unpackhi_epi16(l, r));
  }
#endif
  for (; k < periods; ++k) {
    out[2 * k] = ToPcm16(left[k]);
    out[2 * k + 1] = ToPcm16(right[k]);
  }
}

}  // namespace zbaac
