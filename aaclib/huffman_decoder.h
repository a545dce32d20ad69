// Huffman decoding of scalefactor differences and spectral data, pulses, short-window order.
#pragma once

#include <array>
#include <span>

#include "aaclib/aac_syntax.h"
#include "aaclib/huffman_codebooks.h"

namespace zbaac {

class BitReader;

// Escape magnitudes are limited to 2^12 + 4095 = 8191: an escape prefix that would make
// the exponent larger than this fails the element.
constexpr int kMaxEscapeExponent = 12;

// Walks `sorted` (ascending length, then codeword), reading more bits only when the
// length grows, and returns the index of the first entry whose codeword equals the bits
// read; -1 when the walk reaches the end of the table without a match.
int DecodeSymbol(BitReader& reader, std::span<const CodeEntry> sorted);

// The same search over codebook `book` (1 .. 11, or 0 for the scalefactor codebook) in
// the form the decoder uses (huffman_search.h): the longest codeword's bits peeked once,
// compared with the end of each length's codewords, and the codeword's length and place
// summed from the ends they reach. Same result and same bits consumed.
int DecodeCodebookSymbol(BitReader& reader, int book);

// The scalefactor difference (-60 .. 60). Every bit pattern starts with a codeword of the
// scalefactor codebook, as it is a complete code.
int DecodeScalefactorDifference(BitReader& reader);

// Splits a tuple index into its `dimension` values (before sign bits and escapes). The
// decoder itself takes them from tables unpacked at compile time.
std::array<int, 4> UnpackTuple(const SpectrumCodebook& book, int index);

// Decodes the quantized spectrum of one channel stream from its codebooks and band
// layout (info, numSwb, swbOffset, windowLength, codebook and scalefactor must be set),
// writing each window's values into its own 128 lines (short blocks), and applies the
// pulse data. Each value also goes dequantized into `coefs`: sign(q) |q|^(4/3) times the
// gain of the band's scalefactor. Both arrays must be cleared beforehand; lines of bands
// without spectral data, and zero tuples, are not written. Fails on a bit pattern that
// matches no codeword, an escape beyond the limit, a write past the 1024 lines or a pulse
// outside the frame.
Outcome DecodeSpectralData(BitReader& reader, ChannelStream& channel);

// Adds the pulses of `channel.pulse` to its spectrum (long windows only) and dequantizes
// the lines they change again.
Outcome ApplyPulseData(ChannelStream& channel);

}  // namespace zbaac
