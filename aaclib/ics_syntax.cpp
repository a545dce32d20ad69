// Parsing of ics_info and the individual channel stream.
#include "aaclib/ics_syntax.h"

#include <algorithm>

#include "aaclib/band_layout.h"
#include "aaclib/bit_reader.h"
#include "aaclib/huffman_decoder.h"
#include "aaclib/huffman_search.h"

namespace zbaac {
namespace {

constexpr int kMainObjectType = 1;

void ParseLtpData(BitReader& reader, int maxSfb, LtpData& ltp) {
  ltp.present = true;
  ltp.lag = static_cast<int>(reader.ReadBits(11));
  ltp.coefIndex = static_cast<int>(reader.ReadBits(3));
  ltp.longUsed.fill(0);
  const int used = std::min(maxSfb, kMaxLtpLongBands);
  for (int band = 0; band < used; ++band) ltp.longUsed[band] = static_cast<std::uint8_t>(reader.ReadBit());
}

// Window groups from scale_factor_grouping: a cleared bit for window w starts a new group.
void SetGroups(IcsInfo& info, std::uint32_t grouping) {
  info.windowGroupLength.fill(0);
  info.groupEnd.fill(0);
  info.numWindowGroups = 1;
  info.windowGroupLength[0] = 1;
  info.windowGroup[0] = 0;
  for (int w = 1; w < info.numWindows; ++w) {
    bool sameGroup = ((grouping >> (7 - w)) & 1u) != 0;
    if (!sameGroup) ++info.numWindowGroups;
    ++info.windowGroupLength[info.numWindowGroups - 1];
    info.windowGroup[w] = static_cast<std::uint8_t>(info.numWindowGroups - 1);
  }
  int end = 0;
  for (int g = 0; g < info.numWindowGroups; ++g) {
    end += info.windowGroupLength[g];
    info.groupEnd[g] = static_cast<std::uint8_t>(end);
  }
}

}  // namespace

void SetChannelLayout(int samplingIndex, ChannelStream& channel) {
  const BandLayout& layout = LayoutFor(samplingIndex, channel.info.windowSequence);
  channel.numSwb = layout.bandCount;
  channel.swbOffset = layout.swbOffset;
  channel.windowLength = layout.windowLength;
}

Outcome ParseIcsInfo(BitReader& reader, const SyntaxState& state, IcsInfo& info,
                                 LtpData& ltp, LtpData* rightLtp) {
  info = IcsInfo{};
  ltp = LtpData{};
  if (rightLtp != nullptr) *rightLtp = LtpData{};
  reader.ReadBits(1);  // ics_reserved_bit
  info.windowSequence = static_cast<WindowSequence>(reader.ReadBits(2));
  info.windowShape = static_cast<std::uint8_t>(reader.ReadBits(1));
  const BandLayout& layout = LayoutFor(state.samplingIndex, info.windowSequence);
  if (info.windowSequence == WindowSequence::EightShort) {
    info.maxSfb = static_cast<int>(reader.ReadBits(4));
    info.numWindows = 8;
    SetGroups(info, reader.ReadBits(7));
    if (info.maxSfb > layout.bandCount) {
      return Fail(SyntaxErrorAt(reader, SyntaxFault::MaxSfbTooLarge, info.maxSfb));
    }
    return Done{};
  }
  info.maxSfb = static_cast<int>(reader.ReadBits(6));
  info.numWindows = 1;
  SetGroups(info, 0);
  if (info.maxSfb > layout.bandCount) return Fail(SyntaxErrorAt(reader, SyntaxFault::MaxSfbTooLarge, info.maxSfb));
  info.predictorDataPresent = reader.ReadBit();
  if (!info.predictorDataPresent) return Done{};
  // Backward-adaptive prediction of the Main profile is not supported.
  if (state.objectType == kMainObjectType) return Fail(SyntaxErrorAt(reader, SyntaxFault::MainPrediction));
  if (reader.ReadBit()) ParseLtpData(reader, info.maxSfb, ltp);
  if (rightLtp != nullptr && reader.ReadBit()) ParseLtpData(reader, info.maxSfb, *rightLtp);
  return Done{};
}

Outcome ParseSectionData(BitReader& reader, ChannelStream& channel) {
  const IcsInfo& info = channel.info;
  const bool isShort = info.windowSequence == WindowSequence::EightShort;
  const int sectionBits = isShort ? 3 : 5;
  const std::uint32_t escape = (1u << sectionBits) - 1u;
  int window = 0;
  for (int g = 0; g < info.numWindowGroups; ++g) {
    auto& row = channel.codebook[window];
    row.fill(kZeroHcb);
    int band = 0;
    int sections = 0;
    while (band < info.maxSfb) {
      // Each real section covers at least one band; more sections than bands can only
      // come from a corrupt stream (or the zero bits past the end of the input).
      if (++sections > info.maxSfb) return Fail(SyntaxErrorAt(reader, SyntaxFault::SectionsMismatch, sections));
      const int cb = static_cast<int>(reader.ReadBits(4));
      int length = 0;
      std::uint32_t field = 0;
      do {
        field = reader.ReadBits(sectionBits);
        length += static_cast<int>(field);
        if (length > info.maxSfb) return Fail(SyntaxErrorAt(reader, SyntaxFault::SectionsMismatch, length));
      } while (field == escape);
      if (band + length > info.maxSfb) {
        return Fail(SyntaxErrorAt(reader, SyntaxFault::SectionsMismatch, band + length));
      }
      std::fill(row.begin() + band, row.begin() + band + length, static_cast<std::uint8_t>(cb));
      band += length;
    }
    for (int w = window + 1; w < window + info.windowGroupLength[g]; ++w) channel.codebook[w] = row;
    window += info.windowGroupLength[g];
  }
  return Done{};
}

Outcome ParseScalefactorData(BitReader& bitReader, ChannelStream& channel) {
  // The reader's cache in registers for the band loop; errors are reported from the reader.
  BitReader::Cursor reader(bitReader);
  const IcsInfo& info = channel.info;
  int scalefactor = channel.globalGain;
  int noiseEnergy = channel.globalGain - 90;
  int intensityPosition = 0;
  bool firstNoiseBand = true;
  int window = 0;
  for (int g = 0; g < info.numWindowGroups; ++g) {
    auto& row = channel.scalefactor[window];
    row.fill(0);
    for (int band = 0; band < info.maxSfb; ++band) {
      const int cb = channel.codebook[window][band];
      if (cb == kZeroHcb) continue;
      if (cb == kReservedHcb) return Fail(SyntaxErrorAt(reader.Reader(), SyntaxFault::ReservedCodebook, cb));
      if (cb == kNoiseHcb && firstNoiseBand) {
        firstNoiseBand = false;
        noiseEnergy += static_cast<int>(reader.ReadBits(9)) - 256;
      } else {
        const int difference = ScalefactorDifference(reader);
        if (cb == kNoiseHcb) {
          noiseEnergy += difference;
        } else if (cb == kIntensityHcb || cb == kIntensityHcb2) {
          intensityPosition += difference;
        } else {
          scalefactor += difference;
        }
      }
      int value = 0;
      if (cb == kNoiseHcb) {
        value = noiseEnergy;
      } else if (cb == kIntensityHcb || cb == kIntensityHcb2) {
        value = intensityPosition;
      } else {
        if (scalefactor < 0 || scalefactor > 255) {
          return Fail(SyntaxErrorAt(reader.Reader(), SyntaxFault::ScalefactorRange, scalefactor));
        }
        value = scalefactor;
      }
      if (value < -kMaxNoiseOrIntensityMagnitude || value > kMaxNoiseOrIntensityMagnitude) {
        return Fail(SyntaxErrorAt(reader.Reader(), SyntaxFault::NoiseOrIntensityRange, value));
      }
      row[band] = static_cast<std::int16_t>(value);
    }
    for (int w = window + 1; w < window + info.windowGroupLength[g]; ++w) channel.scalefactor[w] = row;
    window += info.windowGroupLength[g];
  }
  return Done{};
}

void ParseTnsData(BitReader& reader, ChannelStream& channel) {
  const bool isShort = channel.info.windowSequence == WindowSequence::EightShort;
  const int filtBits = isShort ? 1 : 2;
  const int lengthBits = isShort ? 4 : 6;
  const int orderBits = isShort ? 3 : 5;
  for (int w = 0; w < channel.info.numWindows; ++w) {
    TnsWindow& tns = channel.tns[w];
    tns = TnsWindow{};
    tns.nFilt = static_cast<int>(reader.ReadBits(filtBits));
    if (tns.nFilt == 0) continue;
    tns.coefRes = static_cast<int>(reader.ReadBits(1));
    int top = channel.numSwb;
    for (int f = 0; f < tns.nFilt; ++f) {
      TnsFilter& filter = tns.filters[f];
      filter.length = static_cast<int>(reader.ReadBits(lengthBits));
      filter.order = static_cast<int>(reader.ReadBits(orderBits));
      filter.topBand = top;
      filter.bottomBand = std::max(top - filter.length, 0);
      top = filter.bottomBand;
      if (filter.order == 0) continue;
      filter.direction = static_cast<int>(reader.ReadBits(1));
      filter.coefCompress = static_cast<int>(reader.ReadBits(1));
      const int coefBits = tns.coefRes + 3 - filter.coefCompress;
      for (int k = 0; k < filter.order; ++k) {
        int raw = static_cast<int>(reader.ReadBits(coefBits));
        if (raw & (1 << (coefBits - 1))) raw -= 1 << coefBits;  // sign-extend
        filter.coef[k] = static_cast<std::int8_t>(raw);
      }
    }
  }
}

Outcome ParseChannelStream(BitReader& reader, const SyntaxState& state,
                                       ChannelStream& channel, bool commonWindow, bool& errorFlag) {
  for (auto& row : channel.codebook) row.fill(kZeroHcb);
  for (auto& row : channel.scalefactor) row.fill(0);
  channel.pulse = PulseData{};
  channel.tnsDataPresent = false;
  for (auto& window : channel.tns) window = TnsWindow{};
  channel.gainControlDataPresent = false;
  channel.spectrum.fill(0);
  channel.coefs.fill(0.0f);

  channel.globalGain = static_cast<int>(reader.ReadBits(8));
  if (!commonWindow) {
    auto info = ParseIcsInfo(reader, state, channel.info, channel.ltp, nullptr);
    if (!info) return info;
  }
  SetChannelLayout(state.samplingIndex, channel);
  const bool isShort = channel.info.windowSequence == WindowSequence::EightShort;

  auto sections = ParseSectionData(reader, channel);
  if (!sections) return sections;
  auto scalefactors = ParseScalefactorData(reader, channel);
  if (!scalefactors) return scalefactors;

  if (reader.ReadBit()) {
    if (isShort) {
      // Pulses are defined for long windows only; nothing more is read.
      errorFlag = true;
    } else {
      PulseData& pulse = channel.pulse;
      pulse.present = true;
      pulse.numberPulse = static_cast<int>(reader.ReadBits(2)) + 1;
      pulse.startSfb = static_cast<int>(reader.ReadBits(6));
      for (int i = 0; i < pulse.numberPulse; ++i) {
        pulse.offset[i] = static_cast<std::uint8_t>(reader.ReadBits(5));
        pulse.amp[i] = static_cast<std::uint8_t>(reader.ReadBits(4));
      }
    }
  }
  channel.tnsDataPresent = reader.ReadBit();
  if (channel.tnsDataPresent) ParseTnsData(reader, channel);
  channel.gainControlDataPresent = reader.ReadBit();
  if (channel.gainControlDataPresent) errorFlag = true;  // gain control is not supported
  return DecodeSpectralData(reader, channel);
}

}  // namespace zbaac
