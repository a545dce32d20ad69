// Finding the ID3 tags that some tools put around an AAC stream.
#include "aaclib/id3_tags.h"

#include <array>
#include <cstring>

#include "aaclib/aac_input.h"
#include "common/tags/id3v2_header.h"

namespace zbaac {

namespace {

constexpr std::uint64_t kId3v1Bytes = 128;

}  // namespace

std::uint64_t Id3v2TagBytes(const AacInput& input) {
  std::array<std::uint8_t, kId3v2HeaderBytes> bytes{};
  if (input.ReadAt(0, bytes.data(), bytes.size()) != bytes.size() || !StartsWithId3v2Marker(bytes)) return 0;
  auto header = ParseId3v2Header(bytes);
  if (!header) return 0;
  // A footer counts as soon as the header announces one.
  const std::uint64_t total =
      header.Value().BytesWithoutFooter() + (header.Value().AnnouncesFooter() ? kId3v2FooterBytes : 0);
  return total <= input.SizeBytes() ? total : 0;
}

std::uint64_t Id3v1TagBytes(const AacInput& input, std::uint64_t from) {
  const std::uint64_t size = input.SizeBytes();
  if (size < kId3v1Bytes || size - kId3v1Bytes < from) return 0;
  std::uint8_t tag[3];
  if (input.ReadAt(size - kId3v1Bytes, tag, sizeof tag) != sizeof tag) return 0;
  return std::memcmp(tag, "TAG", 3) == 0 ? kId3v1Bytes : 0;
}

}  // namespace zbaac
