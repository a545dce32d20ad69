// libFuzzer target over the parser: headers and raw data blocks from arbitrary bytes.
// The first byte picks the form (raw with a sampling index, ADIF, ADTS) and the object type.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "aaclib/aac_syntax.h"
#include "aaclib/adif_header.h"
#include "aaclib/adts_header.h"
#include "aaclib/bit_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zbaac;
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  BitReader reader(AacInput::FromBytes(std::vector<std::uint8_t>(data + 1, data + size)));
  SyntaxState state;
  state.samplingIndex = (mode >> 2) % kSamplingIndexLimit;
  state.objectType = (mode & 0x40) != 0 ? 4 : -1;
  auto block = std::make_unique<RawDataBlock>();
  const int form = mode & 3;
  if (form == 1) {
    AdifHeader header;
    ParseAdifHeader(reader, state, header);
    reader.ByteAlign();
  }
  for (int i = 0; i < 64 && !reader.PastEnd(); ++i) {
    if (form == 2) {
      auto header = ParseAdtsHeader(reader);
      if (!header) return 0;
      ApplyAdtsHeader(header.Value(), state);
    }
    auto parsed = ParseRawDataBlock(reader, state, *block);
    if (!parsed) return 0;
    // Invariants the later stages rely on.
    for (int c = 0; c < kMaxChannels; ++c) {
      if (!block->channelPresent[c]) continue;
      const ChannelStream& channel = block->channels[c];
      if (channel.info.maxSfb > channel.numSwb) __builtin_trap();
      for (int w = 0; w < channel.info.numWindows; ++w) {
        for (int b = 0; b < channel.info.maxSfb; ++b) {
          const int cb = channel.codebook[w][b];
          if (cb >= 1 && cb <= 11 && (channel.scalefactor[w][b] < 0 || channel.scalefactor[w][b] > 255)) __builtin_trap();
        }
      }
    }
  }
  return 0;
}
