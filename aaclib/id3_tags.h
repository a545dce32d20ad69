// ID3 tags around an AAC stream: a version 2 tag in front of it, a version 1 record behind it.
#pragma once

#include <cstdint>

namespace zbaac {

class AacInput;

// Bytes of the ID3v2 tag that starts at byte 0 (its footer included), or 0 when there is
// none. A header whose size does not fit the input, or whose fields are not those of an
// ID3v2 header, is no tag.
std::uint64_t Id3v2TagBytes(const AacInput& input);

// 128 when the input ends with an ID3v1 record ("TAG" 125 bytes before the end) that lies
// at or after byte `from`, else 0.
std::uint64_t Id3v1TagBytes(const AacInput& input, std::uint64_t from);

}  // namespace zbaac
