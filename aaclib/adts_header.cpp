// ADTS header reading, from a bit reader or from bytes.
#include "aaclib/adts_header.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "aaclib/aac_input.h"
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
  if (header.layer != 0) {
    error.kind = AdtsErrorKind::WrongLayer;
    return Fail(error);
  }
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
  const std::size_t available = std::min<std::size_t>(bytes.size() - offset, kAdtsLongestHeaderBytes);
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

std::optional<AdtsHeader> AdtsHeaderAt(const AacInput& input, std::uint64_t offset, const AdtsHeader* reference) {
  std::uint8_t bytes[kAdtsLongestHeaderBytes];
  const std::size_t got = input.ReadAt(offset, bytes, sizeof bytes);
  auto header = ParseAdtsHeader(std::span<const std::uint8_t>(bytes, got), 0);
  if (!header) return std::nullopt;
  if (reference != nullptr && !SameFixedHeader(header.Value(), *reference)) return std::nullopt;
  return header.Value();
}

namespace {

// True when what follows a header at `offset` confirms it: the next header, with the same
// fixed header, where the frame ends; with `atTheEnd` also the end of the input right
// there, or the start of a header cut off by it.
bool Confirmed(const AacInput& input, std::uint64_t offset, const AdtsHeader& header, bool atTheEnd) {
  const std::uint64_t next = offset + static_cast<std::uint64_t>(header.frameLengthBytes);
  std::uint8_t bytes[kAdtsLongestHeaderBytes];
  const std::size_t got = input.ReadAt(next, bytes, sizeof bytes);
  if (got == 0) return atTheEnd && next == input.SizeBytes();
  auto following = ParseAdtsHeader(std::span<const std::uint8_t>(bytes, got), 0);
  if (following) return SameFixedHeader(following.Value(), header);
  return atTheEnd && following.Error().kind == AdtsErrorKind::Truncated && got < sizeof bytes && bytes[0] == 0xFF &&
         (got < 2 || (bytes[1] & 0xF6) == 0xF0);
}

}  // namespace

std::optional<AdtsSync> FindAdtsFrame(const AacInput& input, std::uint64_t from, std::uint64_t limit,
                                      const AdtsHeader* reference, bool lastFrameConfirms) {
  constexpr std::size_t kWindowBytes = 16 * 1024;
  std::vector<std::uint8_t> window(kWindowBytes);
  std::uint64_t start = from;
  while (start < limit) {
    const std::size_t got = input.ReadAt(start, window.data(), window.size());
    if (got < 2) break;
    // A sync word: twelve ones, then layer 0. Bytes of 0xFF are looked for with memchr,
    // which passes over the rest many bytes at a time.
    const std::size_t candidates = static_cast<std::size_t>(std::min<std::uint64_t>(got - 1, limit - start));
    for (std::size_t i = 0; i < candidates; ++i) {
      const void* found = std::memchr(window.data() + i, 0xFF, candidates - i);
      if (found == nullptr) break;
      i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - window.data());
      if ((window[i + 1] & 0xF6) != 0xF0) continue;
      const std::uint64_t offset = start + i;
      std::optional<AdtsHeader> header;
      if (i + kAdtsLongestHeaderBytes <= got) {
        auto parsed = ParseAdtsHeader(std::span<const std::uint8_t>(window.data(), got), i);
        if (parsed && (reference == nullptr || SameFixedHeader(parsed.Value(), *reference))) header = parsed.Value();
      } else {
        header = AdtsHeaderAt(input, offset, reference);
      }
      if (header && Confirmed(input, offset, *header, lastFrameConfirms)) return AdtsSync{offset, *header};
    }
    if (got < window.size()) break;
    start += got - 1;  // the last byte may begin a sync word
  }
  return std::nullopt;
}

void ApplyAdtsHeader(const AdtsHeader& header, SyntaxState& state) {
  state.samplingIndex = header.samplingIndex;
  state.objectType = header.profile + 1;
}

}  // namespace zbaac
