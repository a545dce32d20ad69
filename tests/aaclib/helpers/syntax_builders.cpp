// Hand-built AAC syntax pieces.
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac::test {

BitReader ReaderFor(const BitWriter& writer) { return BitReader(AacInput::FromBytes(writer.Bytes())); }

void PutLongInfo(BitWriter& writer, int maxSfb, int windowShape, int windowSequence) {
  writer.Put(0, 1).Put(static_cast<std::uint32_t>(windowSequence), 2).Put(static_cast<std::uint32_t>(windowShape), 1);
  writer.Put(static_cast<std::uint32_t>(maxSfb), 6).Put(0, 1);  // no predictor data
}

void PutShortInfo(BitWriter& writer, int maxSfb, std::uint32_t grouping) {
  writer.Put(0, 1).Put(2, 2).Put(0, 1).Put(static_cast<std::uint32_t>(maxSfb), 4).Put(grouping, 7);
}

void PutSections(BitWriter& writer, bool isShort, const std::vector<std::pair<int, int>>& sections) {
  const int bits = isShort ? 3 : 5;
  const int escape = (1 << bits) - 1;
  for (const auto& [codebook, length] : sections) {
    writer.Put(static_cast<std::uint32_t>(codebook), 4);
    int left = length;
    while (left >= escape) {
      writer.Put(static_cast<std::uint32_t>(escape), bits);
      left -= escape;
    }
    writer.Put(static_cast<std::uint32_t>(left), bits);
  }
}

void PutNoTools(BitWriter& writer) { writer.Put(0, 1).Put(0, 1).Put(0, 1); }

void PutSilentLongStream(BitWriter& writer, int globalGain, bool withInfo, int maxSfb) {
  writer.Put(static_cast<std::uint32_t>(globalGain), 8);
  if (withInfo) PutLongInfo(writer, maxSfb);
  if (maxSfb > 0) PutSections(writer, /*isShort=*/false, {{0, maxSfb}});
  PutNoTools(writer);
}

ChannelStream LaidOutChannel(WindowSequence sequence, int samplingIndex) {
  ChannelStream channel;
  channel.info.windowSequence = sequence;
  channel.info.numWindows = sequence == WindowSequence::EightShort ? 8 : 1;
  SetChannelLayout(samplingIndex, channel);
  channel.info.maxSfb = channel.numSwb;
  return channel;
}

}  // namespace zbaac::test
