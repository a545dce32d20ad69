// Turns an ADTS stream into the two other input forms: raw data blocks and an ADIF file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"

namespace zbaac::test {

// The raw data blocks of every frame, back to back (the ADTS headers and CRCs removed).
// Fails on a stream that holds no ADTS frame or on protected multi-block frames.
Result<std::vector<std::uint8_t>, std::string> AdtsToRaw(std::span<const std::uint8_t> adts);

// An ADIF file: the header (variable bit rate, the stream's mean bit rate) with one
// program configuration element built from the first frame (its profile, sampling index
// and channel elements with their instance tags), byte-aligned, then the raw data blocks.
Result<std::vector<std::uint8_t>, std::string> AdtsToAdif(std::span<const std::uint8_t> adts);

}  // namespace zbaac::test
