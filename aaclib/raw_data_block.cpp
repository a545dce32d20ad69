// The element loop of one raw data block, channel elements and the channel map checks.
#include <algorithm>

#include "aaclib/aac_syntax.h"
#include "aaclib/band_layout.h"
#include "aaclib/bit_reader.h"
#include "aaclib/ics_syntax.h"

namespace zbaac {
namespace {

// Finds the channel of an element among the channels already assigned: the channel of an
// SCE, or the left channel of a CPE, with the same instance tag. -1 when there is none.
int LookUpChannel(const ChannelMap& map, bool isPair, int tag) {
  for (int i = 0; i < map.channelCount && i < kMaxChannels; ++i) {
    const ChannelMapEntry& entry = map.entries[i];
    if (!entry.present || entry.isPair != isPair || entry.tag != tag) continue;
    if (isPair && !entry.isLeft) continue;
    return i;
  }
  return -1;
}

// Places an element on the next free channels while channels are assigned implicitly.
// -1 when it does not fit in the two front channels.
int AssignImplicitly(SyntaxState& state, bool isPair, int tag) {
  const int first = state.map.PlaceFront(isPair, tag);
  // A CPE would already have filled both channels, so this SCE comes before any CPE.
  if (first >= 0 && !isPair && state.blockIndex == 0) ++state.map.frontMonoCount;
  return first;
}

// After a pair's two streams: bands coded with M/S whose right channel carries intensity
// or noise are taken out of M/S; the flag instead inverts the intensity direction or makes
// the right channel's noise repeat the left channel's.
void ApplyStereoBookkeeping(PairStereo& pair, ChannelStream& right) {
  if (pair.msMaskPresent != 1) return;
  const IcsInfo& info = right.info;
  int window = 0;
  for (int g = 0; g < info.numWindowGroups; ++g) {
    const int groupEnd = window + info.windowGroupLength[g];
    for (int band = 0; band < info.maxSfb; ++band) {
      if (!pair.msUsed[g][band]) continue;
      std::uint8_t cb = right.codebook[window][band];
      if (cb == kIntensityHcb) {
        cb = kIntensityHcb2;
      } else if (cb == kIntensityHcb2) {
        cb = kIntensityHcb;
      } else if (cb == kNoiseHcb) {
        cb = kNoiseCorrelatedHcb;
      } else {
        continue;
      }
      for (int w = window; w < groupEnd; ++w) right.codebook[w][band] = cb;
      pair.msUsed[g][band] = 0;
    }
    window = groupEnd;
  }
}

void ReadMsMask(BitReader& reader, const IcsInfo& info, int bandCount, PairStereo& pair) {
  for (auto& row : pair.msUsed) row.fill(0);
  pair.msMaskPresent = static_cast<int>(reader.ReadBits(2));
  if (pair.msMaskPresent == 0) return;
  if (pair.msMaskPresent == 2) {
    for (int g = 0; g < info.numWindowGroups; ++g) {
      std::fill(pair.msUsed[g].begin(), pair.msUsed[g].begin() + bandCount, std::uint8_t{1});
    }
    return;
  }
  // 1, and the reserved 3 read the same way: one flag per transmitted band.
  for (int g = 0; g < info.numWindowGroups; ++g) {
    for (int band = 0; band < info.maxSfb; ++band) pair.msUsed[g][band] = static_cast<std::uint8_t>(reader.ReadBit());
  }
}

Outcome ParseChannelElement(BitReader& reader, SyntaxState& state, RawDataBlock& block,
                                        ElementType type, ElementEntry& entry) {
  const bool isPair = type == ElementType::Cpe;
  const int tag = static_cast<int>(reader.ReadBits(4));
  const bool commonWindow = isPair && reader.ReadBit();
  entry.tag = tag;
  entry.channels = isPair ? 2 : 1;

  int channel = -1;
  if (state.implicitConfig && state.map.channelCount <= 1) {
    channel = AssignImplicitly(state, isPair, tag);
  } else {
    // With implicit assignment a further element after two channels is a layout this
    // library cannot play; it is still decoded into the channels it matches.
    if (state.implicitConfig) block.errorFlag = true;
    channel = LookUpChannel(state.map, isPair, tag);
  }
  if (channel < 0) return Fail(SyntaxErrorAt(reader, SyntaxFault::NoSuchChannel, tag));
  entry.firstChannel = channel;

  ChannelStream& first = block.channels[channel];
  block.channelPresent[channel] = true;
  block.infoChannel[channel] = channel;
  if (!isPair) {
    bool errorFlag = false;
    auto stream = ParseChannelStream(reader, state, first, /*commonWindow=*/false, errorFlag);
    block.errorFlag = block.errorFlag || errorFlag;
    return stream;
  }

  ChannelStream& second = block.channels[channel + 1];
  block.channelPresent[channel + 1] = true;
  block.hasPair = true;
  PairStereo& pair = block.pair;
  pair = PairStereo{};
  pair.commonWindow = commonWindow;
  state.map.entries[channel].commonWindow = commonWindow;
  state.map.entries[channel + 1].commonWindow = commonWindow;
  state.map.entries[channel + 1].infoChannel = commonWindow ? channel : channel + 1;
  block.infoChannel[channel + 1] = commonWindow ? channel : channel + 1;
  if (commonWindow) {
    auto info = ParseIcsInfo(reader, state, first.info, first.ltp, &second.ltp);
    if (!info) return info;
    second.info = first.info;
    ReadMsMask(reader, first.info, LayoutFor(state.samplingIndex, first.info.windowSequence).bandCount, pair);
  }
  bool errorFlag = false;
  auto left = ParseChannelStream(reader, state, first, commonWindow, errorFlag);
  if (left) {
    auto right = ParseChannelStream(reader, state, second, commonWindow, errorFlag);
    if (!right) left = right;
  }
  block.errorFlag = block.errorFlag || errorFlag;
  if (!left) return left;
  ApplyStereoBookkeeping(pair, second);
  return Done{};
}

}  // namespace

Expected<BlockEnd> ParseRawDataBlock(BitReader& reader, SyntaxState& state, RawDataBlock& block) {
  reader.ByteAlign();
  block.samplingIndex = state.samplingIndex;
  block.channelCount = 0;
  block.channelPresent = {};
  block.infoChannel = {0, 1};
  block.pair = PairStereo{};
  block.hasPair = false;
  block.elementCount = 0;
  block.errorFlag = false;
  block.startBit = reader.BitPosition();
  if (state.implicitConfig) state.map.ClearAssignment(/*alsoFrontMono=*/state.blockIndex == 0);

  for (;;) {
    if (reader.PastEnd()) {
      return Fail(SyntaxErrorAt(reader, SyntaxFault::EndOfInput));
    }
    const auto type = static_cast<ElementType>(reader.ReadBits(3));
    if (block.elementCount == kMaxElements) {
      return Fail(SyntaxErrorAt(reader, SyntaxFault::TooManyElements, block.elementCount));
    }
    ElementEntry& entry = block.elements[block.elementCount++];
    entry = ElementEntry{};
    entry.type = type;
    switch (type) {
      case ElementType::Sce:
      case ElementType::Cpe: {
        auto element = ParseChannelElement(reader, state, block, type, entry);
        if (!element) {
          // Whatever went wrong on the zero bits past the end is the end of the input.
          if (reader.PastEnd()) return Fail(SyntaxFailure(SyntaxFault::EndOfInput, element.Error().position));
          return Fail(element.Error());
        }
        block.samplingIndex = state.samplingIndex;
        break;
      }
      case ElementType::Cce:
      case ElementType::Lfe:
      case ElementType::Dse:
        if (reader.PastEnd()) return Fail(SyntaxErrorAt(reader, SyntaxFault::EndOfInput));
        return Fail(SyntaxErrorAt(reader, SyntaxFault::UnsupportedElement, static_cast<int>(type)));
      case ElementType::Pce: {
        ProgramConfig pce;
        entry.tag = ParseProgramConfig(reader, state, pce);
        block.samplingIndex = state.samplingIndex;
        break;
      }
      case ElementType::Fil: {
        int count = static_cast<int>(reader.ReadBits(4));
        if (count == 15) count += static_cast<int>(reader.ReadBits(8)) - 1;
        reader.SkipBits(8u * static_cast<std::uint64_t>(count));
        break;
      }
      case ElementType::End: {
        if (reader.PastEnd()) return Fail(SyntaxErrorAt(reader, SyntaxFault::EndOfInput));
        block.channelCount = state.map.channelCount;
        if (state.blockIndex == 0 && state.implicitConfig) {
          state.reference = ChannelMapReference::Of(state.map);
        } else if (!state.reference.Matches(state.map, state.map.channelCount)) {
          block.errorFlag = true;
        }
        ++state.blockIndex;
        return BlockEnd::EndElement;
      }
    }
  }
}

}  // namespace zbaac
