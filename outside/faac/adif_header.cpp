// Writing the ADIF header bit by bit.
#include "outside/faac/adif_header.h"

#include <array>
#include <cstddef>
#include <utility>

namespace {

// Most significant bit first, as the AAC syntax is written.
class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> used_);
      used_ = (used_ + 1) & 7;
    }
  }
  void AlignToByte() { used_ = 0; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
  int used_ = 0;  // bits used in the last byte
};

// ISO/IEC 14496-3 table 1.18, sampling frequency index.
constexpr std::array<uint32_t, 13> kSamplingRates = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                                     22050, 16000, 12000, 11025, 8000,  7350};

}  // namespace

int AacSamplingIndex(uint32_t sampleRate) {
  for (size_t i = 0; i < kSamplingRates.size(); ++i) {
    if (kSamplingRates[i] == sampleRate) return int(i);
  }
  return -1;
}

std::vector<uint8_t> BuildAdifHeader(const AdifHeaderFields& fields) {
  BitWriter w;
  for (char c : {'A', 'D', 'I', 'F'}) w.Put(uint8_t(c), 8);
  w.Put(0, 1);  // copyright_id_present
  w.Put(0, 1);  // original_copy
  w.Put(0, 1);  // home
  w.Put(1, 1);  // bitstream_type: variable rate, so no buffer fullness follows
  w.Put(fields.peakBitRate > 0x7FFFFF ? 0x7FFFFF : fields.peakBitRate, 23);
  w.Put(0, 4);  // num_program_config_elements - 1

  // program_config_element
  w.Put(0, 4);                                   // element_instance_tag
  w.Put(uint32_t(fields.objectType - 1) & 3, 2);  // object_type
  w.Put(uint32_t(fields.samplingIndex) & 15, 4);
  w.Put(1, 4);  // num_front_channel_elements
  w.Put(0, 4);  // num_side_channel_elements
  w.Put(0, 4);  // num_back_channel_elements
  w.Put(0, 2);  // num_lfe_channel_elements
  w.Put(0, 3);  // num_assoc_data_elements
  w.Put(0, 4);  // num_valid_cc_elements
  w.Put(0, 1);  // mono_mixdown_present
  w.Put(0, 1);  // stereo_mixdown_present
  w.Put(0, 1);  // matrix_mixdown_idx_present
  w.Put(fields.channels == 2 ? 1 : 0, 1);  // front_element_is_cpe
  w.Put(0, 4);                             // front_element_tag_select
  w.AlignToByte();  // byte_alignment(), counted from the start of the header
  w.Put(0, 8);      // comment_field_bytes
  return w.Take();
}
