// ADIF header reading.
#include "aaclib/adif_header.h"

#include "aaclib/bit_reader.h"
#include "aaclib/program_config.h"

namespace zbaac {

bool ParseAdifHeader(BitReader& reader, SyntaxState& state, AdifHeader& header) {
  header = AdifHeader{};
  header.id = reader.ReadBits(32);
  header.copyrightIdPresent = reader.ReadBit();
  if (header.copyrightIdPresent) {
    for (auto& byte : header.copyrightId) byte = static_cast<std::uint8_t>(reader.ReadBits(8));
  }
  header.originalCopy = reader.ReadBit();
  header.home = reader.ReadBit();
  header.bitstreamType = static_cast<int>(reader.ReadBits(1));
  header.bitrate = reader.ReadBits(23);
  header.numProgramConfigElements = static_cast<int>(reader.ReadBits(4));
  bool accepted = false;
  for (int i = 0; i <= header.numProgramConfigElements; ++i) {
    if (header.bitstreamType == 0) header.bufferFullness[i] = reader.ReadBits(20);
    ProgramConfig pce;
    const int tag = ParseProgramConfig(reader, state, pce);
    if (tag >= 0 && tag == state.selectedProgramTag && !state.implicitConfig) accepted = true;
  }
  return accepted;
}

}  // namespace zbaac
