// The ADIF header at the start of an AAC file and the program it selects.
#pragma once

#include <array>
#include <cstdint>

#include "aaclib/aac_syntax.h"

namespace zbaac {

class BitReader;

struct AdifHeader {
  std::uint32_t id = 0;                 // "ADIF"
  bool copyrightIdPresent = false;
  std::array<std::uint8_t, 9> copyrightId{};
  bool originalCopy = false;
  bool home = false;
  int bitstreamType = 0;                // 0 constant rate (buffer fullness sent), 1 variable
  std::uint32_t bitrate = 0;            // 23 bits, bits per second
  int numProgramConfigElements = 0;     // as transmitted: programs - 1
  std::array<std::uint32_t, 16> bufferFullness{};
};

inline constexpr std::uint32_t kAdifId = 0x41444946;  // "ADIF"

// Reads the header and its programs from the start of the stream. The first program's tag
// becomes the selected tag when none is selected; a matching, accepted program configures
// `state`. Returns true when at least one program was accepted. The reader is left after
// the last program (not byte-aligned).
bool ParseAdifHeader(BitReader& reader, SyntaxState& state, AdifHeader& header);

}  // namespace zbaac
