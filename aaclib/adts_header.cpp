// ADTS header reading, from a bit reader or from bytes.
#include "aaclib/adts_header.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "aaclib/aac_input.h"
#include "aaclib/aac_syntax.h"
#include "aaclib/aac_tables_bands.h"
#include "aaclib/bit_reader.h"

namespace zbaac {

namespace {

const char* AdtsFaultText(AdtsFault fault) {
  switch (fault) {
    case AdtsFault::NoSync: return "no ADTS sync word";
    case AdtsFault::WrongLayer: return "not an ADTS header (layer is not 0)";
    case AdtsFault::ReservedSampling: return "reserved sampling frequency index in an ADTS header";
    case AdtsFault::BadFrameLength: return "ADTS frame shorter than its header";
    case AdtsFault::Truncated: return "ADTS header cut off by the end of the input";
  }
  return "unusable ADTS header";
}

// "no ADTS sync word at byte 4096", made only when a header is refused.
Error AdtsFailure(AdtsFault fault, std::uint64_t byteOffset) {
  const ErrorPosition position = ErrorPosition::Byte(byteOffset);
  Error error(ErrorCategory::Format, position, std::string(AdtsFaultText(fault)) + " at " + PositionText(position));
  error.WithCase(fault);
  return error;
}

// The header's fields at the reader's position, or why it is refused.
Result<AdtsHeader, AdtsFault> ReadAdtsFields(BitReader& reader) {
  const std::uint64_t start = reader.BitPosition();
  if (reader.ReadBits(12) != 0xFFF) return Fail(AdtsFault::NoSync);
  AdtsHeader header;
  header.id = static_cast<int>(reader.ReadBits(1));
  header.layer = static_cast<int>(reader.ReadBits(2));
  if (header.layer != 0) return Fail(AdtsFault::WrongLayer);
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
  if (reader.PastEnd()) return Fail(AdtsFault::Truncated);
  if (header.samplingIndex >= kSamplingIndexCount) return Fail(AdtsFault::ReservedSampling);
  if (header.frameLengthBytes < header.headerBytes) return Fail(AdtsFault::BadFrameLength);
  return header;
}

// The same on bytes in memory. The search for a frame tries many a candidate that is
// none: it asks this, so that no Error is made for them.
Result<AdtsHeader, AdtsFault> ReadAdtsFields(std::span<const std::uint8_t> bytes, std::size_t offset) {
  if (offset >= bytes.size()) return Fail(AdtsFault::Truncated);
  const std::size_t available = std::min<std::size_t>(bytes.size() - offset, kAdtsLongestHeaderBytes);
  BitReader reader(AacInput::FromBytes(std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                                                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + available))));
  return ReadAdtsFields(reader);
}

}  // namespace

Expected<AdtsHeader> ParseAdtsHeader(BitReader& reader) {
  const std::uint64_t startByte = reader.BitPosition() / 8;
  auto header = ReadAdtsFields(reader);
  if (!header) return Fail(AdtsFailure(header.Error(), startByte));
  return header.Value();
}

Expected<AdtsHeader> ParseAdtsHeader(std::span<const std::uint8_t> bytes, std::size_t offset) {
  auto header = ReadAdtsFields(bytes, offset);
  if (!header) return Fail(AdtsFailure(header.Error(), offset));
  return header.Value();
}

std::optional<AdtsHeader> AdtsHeaderAt(const AacInput& input, std::uint64_t offset, const AdtsHeader* reference) {
  std::uint8_t bytes[kAdtsLongestHeaderBytes];
  const std::size_t got = input.ReadAt(offset, bytes, sizeof bytes);
  auto header = ReadAdtsFields(std::span<const std::uint8_t>(bytes, got), 0);
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
  auto following = ReadAdtsFields(std::span<const std::uint8_t>(bytes, got), 0);
  if (following) return SameFixedHeader(following.Value(), header);
  return atTheEnd && following.Error() == AdtsFault::Truncated && got < sizeof bytes && bytes[0] == 0xFF &&
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
        auto parsed = ReadAdtsFields(std::span<const std::uint8_t>(window.data(), got), i);
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
