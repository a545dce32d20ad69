// program_config_element: reading, selection and the channel map it sets up.
#include "aaclib/program_config.h"

#include "aaclib/aac_syntax.h"
#include "aaclib/aac_tables_bands.h"
#include "aaclib/bit_reader.h"

namespace zbaac {
namespace {

void ReadElementList(BitReader& reader, int count, bool withIsCpe, std::span<ProgramElement> list) {
  for (int i = 0; i < count; ++i) {
    list[i].isCpe = withIsCpe ? reader.ReadBit() : false;
    list[i].tag = static_cast<std::uint8_t>(reader.ReadBits(4));
  }
}

void ReadFields(BitReader& reader, ProgramConfig& pce) {
  pce.instanceTag = static_cast<int>(reader.ReadBits(4));
  pce.objectType = static_cast<int>(reader.ReadBits(2));
  pce.samplingIndex = static_cast<int>(reader.ReadBits(4));
  pce.numFront = static_cast<int>(reader.ReadBits(4));
  pce.numSide = static_cast<int>(reader.ReadBits(4));
  pce.numBack = static_cast<int>(reader.ReadBits(4));
  pce.numLfe = static_cast<int>(reader.ReadBits(2));
  pce.numAssocData = static_cast<int>(reader.ReadBits(3));
  pce.numValidCc = static_cast<int>(reader.ReadBits(4));
  pce.monoMixdownPresent = reader.ReadBit();
  if (pce.monoMixdownPresent) pce.monoMixdownElement = static_cast<int>(reader.ReadBits(4));
  pce.stereoMixdownPresent = reader.ReadBit();
  if (pce.stereoMixdownPresent) pce.stereoMixdownElement = static_cast<int>(reader.ReadBits(4));
  pce.matrixMixdownIdxPresent = reader.ReadBit();
  if (pce.matrixMixdownIdxPresent) {
    pce.matrixMixdownIdx = static_cast<int>(reader.ReadBits(2));
    pce.pseudoSurroundEnable = reader.ReadBit();
  }
  ReadElementList(reader, pce.numFront, true, pce.front);
  ReadElementList(reader, pce.numSide, true, pce.side);
  ReadElementList(reader, pce.numBack, true, pce.back);
  ReadElementList(reader, pce.numLfe, false, pce.lfe);
  ReadElementList(reader, pce.numAssocData, false, pce.assocData);
  ReadElementList(reader, pce.numValidCc, true, pce.validCc);  // isCpe holds cc_element_is_ind_sw
  reader.ByteAlign();
  pce.commentBytes = static_cast<int>(reader.ReadBits(8));
  for (int i = 0; i < pce.commentBytes; ++i) pce.comment[i] = static_cast<char>(reader.ReadBits(8));
  pce.comment[pce.commentBytes] = '\0';
}

// Only up to two front channels without mixdowns are decoded; the sampling index must
// have a band table.
bool Acceptable(const ProgramConfig& pce) {
  if (pce.samplingIndex >= kSamplingIndexCount) return false;
  if (pce.numSide != 0 || pce.numBack != 0 || pce.numLfe != 0) return false;
  if (pce.monoMixdownPresent || pce.stereoMixdownPresent || pce.matrixMixdownIdxPresent) return false;
  int channels = 0;
  for (int i = 0; i < pce.numFront; ++i) channels += pce.front[i].isCpe ? 2 : 1;
  return channels <= kMaxChannels;
}

void BuildMap(const ProgramConfig& pce, ChannelMap& map) {
  map.ClearAssignment(/*alsoFrontMono=*/true);
  map.ccCount = 0;
  map.objectType = pce.objectType;
  map.samplingIndex = pce.samplingIndex;
  for (int i = 0; i < pce.numFront && !pce.front[i].isCpe; ++i) ++map.frontMonoCount;
  // Acceptable() has checked that the front elements fit in the two channels.
  for (int i = 0; i < pce.numFront; ++i) map.PlaceFront(pce.front[i].isCpe, pce.front[i].tag);
  map.ccCount = pce.numValidCc;
  for (int i = 0; i < pce.numValidCc; ++i) {
    map.ccIndependent[i] = pce.validCc[i].isCpe;
    map.ccTag[i] = pce.validCc[i].tag;
  }
}

}  // namespace

int ParseProgramConfig(BitReader& reader, SyntaxState& state, ProgramConfig& pce) {
  pce = ProgramConfig{};
  ReadFields(reader, pce);
  if (state.selectedProgramTag < 0) state.selectedProgramTag = pce.instanceTag;
  if (pce.instanceTag != state.selectedProgramTag) return pce.instanceTag;
  // A refused program leaves the stream as it was.
  if (!Acceptable(pce)) return -1;
  state.samplingIndex = pce.samplingIndex;
  BuildMap(pce, state.map);
  state.reference = ChannelMapReference::Of(state.map);
  state.implicitConfig = false;
  state.selectedProgram = pce;
  state.objectType = pce.objectType + 1;  // the 2-bit profile is the object type minus one
  return pce.instanceTag;
}

}  // namespace zbaac
