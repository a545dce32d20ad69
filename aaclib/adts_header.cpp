// ADTS header reading, from a bit reader or from bytes.
#include "aaclib/adts_header.h"

#include <vector>

#include "aaclib/aac_syntax.h"
#include "aaclib/aac_tables_bands.h"
#include "aaclib/bit_reader.h"

namespace zbaac {

Result<AdtsHeader, AdtsError> ParseAdtsHeader(BitReader& reader) {
  const std::uint64_t start = reader.BitPosition();
  AdtsError error{AdtsErrorKind::NoSync, start / 8};
  if (reader.ReadBits(12) != 0xFFF) return Fail(error);
  AdtsHeader header;
  header.id = static_cast<int>(reader.ReadBits(1));
  header.layer = static_cast<int>(reader.ReadBits(2));
  header.protectionAbsent = reader.ReadBit();
  header.profile = static_cast<int>(reader.ReadBits(2));
  header.samplingIndex = static_cast<int>(reader.ReadBits(4));
  reader.ReadBits(1);  // private_bit
  header.channelConfiguration = static_cast<int>(reader.ReadBits(3));
  reader.ReadBits(2);  // original_copy, home
  reader.ReadBits(2);  // copyright_identification_bit, copyright_identification_start
  header.frameLengthBytes = static_cast<int>(reader.ReadBits(13));
  header.bufferFullness = static_cast<int>(reader.ReadBits(11));
  header.rawDataBlocks = static_cast<int>(reader.ReadBits(2)) + 1;
  if (!header.protectionAbsent) {
    // adts_error_check: block positions for multi-block frames, then the CRC.
    if (header.rawDataBlocks > 1) reader.SkipBits(16u * static_cast<unsigned>(header.rawDataBlocks - 1));
    reader.SkipBits(16);
  }
  header.headerBytes = static_cast<int>((reader.BitPosition() - start) / 8);
  if (reader.PastEnd()) {
    error.kind = AdtsErrorKind::Truncated;
    return Fail(error);
  }
  if (header.samplingIndex >= kSamplingIndexCount) {
    error.kind = AdtsErrorKind::ReservedSampling;
    return Fail(error);
  }
  if (header.frameLengthBytes < header.headerBytes) {
    error.kind = AdtsErrorKind::BadFrameLength;
    return Fail(error);
  }
  return header;
}

Result<AdtsHeader, AdtsError> ParseAdtsHeader(std::span<const std::uint8_t> bytes, std::size_t offset) {
  if (offset >= bytes.size()) return Fail(AdtsError{AdtsErrorKind::Truncated, offset});
  // The longest header: 7 bytes, three block positions and the CRC.
  const std::size_t available = std::min<std::size_t>(bytes.size() - offset, 15);
  BitReader reader(AacInput::FromBytes(std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                                                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + available))));
  auto header = ParseAdtsHeader(reader);
  if (!header) {
    AdtsError error = header.Error();
    error.byteOffset = offset;
    return Fail(error);
  }
  return header;
}

void ApplyAdtsHeader(const AdtsHeader& header, SyntaxState& state) {
  state.samplingIndex = header.samplingIndex;
  state.objectType = header.profile + 1;
}

}  // namespace zbaac
