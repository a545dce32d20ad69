// Conversion of filterbank output to interleaved 16-bit PCM.
#include "aaclib/aac_pcm_output.h"

namespace zbaac {

void InterleavePcm16(const float* left, const float* right, std::int16_t* out, int periods) {
  for (int k = 0; k < periods; ++k) {
    out[2 * k] = ToPcm16(left[k]);
    out[2 * k + 1] = ToPcm16(right[k]);
  }
}

}  // namespace zbaac
