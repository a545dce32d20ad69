// Pieces of hand-built AAC syntax for the parser tests (44.1 kHz layouts unless stated).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "aaclib/bit_reader.h"
#include "aaclib/ics_syntax.h"
#include "tests/aaclib/helpers/bit_writer.h"

namespace zbaac::test {

// A reader over what `writer` holds.
BitReader ReaderFor(const BitWriter& writer);

// ics_info of a long window sequence without prediction data.
void PutLongInfo(BitWriter& writer, int maxSfb, int windowShape = 0, int windowSequence = 0);
// ics_info of EIGHT_SHORT with its 7 grouping bits.
void PutShortInfo(BitWriter& writer, int maxSfb, std::uint32_t grouping);

// Section data of one group: (codebook, length) pairs, lengths split into fields of 5
// (long) or 3 (short) bits with the escape value as needed.
void PutSections(BitWriter& writer, bool isShort, const std::vector<std::pair<int, int>>& sections);

// The tail of a channel stream without pulses, TNS, gain control or spectral data.
void PutNoTools(BitWriter& writer);

// A whole silent individual channel stream: global gain, ics_info (unless the pair shares
// it), and one zero-codebook section over `maxSfb` bands.
void PutSilentLongStream(BitWriter& writer, int globalGain, bool withInfo, int maxSfb = 0);

// A channel laid out for `sequence` at `samplingIndex`, with max_sfb at the band count.
ChannelStream LaidOutChannel(WindowSequence sequence = WindowSequence::OnlyLong, int samplingIndex = 4);

// Element identifiers.
inline void PutElement(BitWriter& writer, int id) { writer.Put(static_cast<std::uint32_t>(id), 3); }

}  // namespace zbaac::test
