// The ADIF header that starts an AAC file of raw data blocks.
#pragma once

#include <cstdint>
#include <vector>

struct AdifHeaderFields {
  uint32_t peakBitRate = 0;  // bits per second; saturates at the field's 23 bits
  int objectType = 2;        // AAC object type: 2 low complexity, 4 long-term prediction
  int samplingIndex = 0;     // index into the AAC sampling rate table
  int channels = 2;          // 1: one single channel element, 2: one channel pair element
};

// The AAC sampling-frequency index of a rate (ISO/IEC 14496-3 table 1.18), or -1 when the
// rate has none.
int AacSamplingIndex(uint32_t sampleRate);

// The header bytes: "ADIF", no copyright id, variable-rate bitstream with the peak bit
// rate, and one program configuration element (instance 0, one front element, no
// comment), padded to a whole byte. Its size does not depend on the field values.
std::vector<uint8_t> BuildAdifHeader(const AdifHeaderFields& fields);
