// The program configuration element: its fields, and its parse into the channel map.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace zbaac {

class BitReader;
struct SyntaxState;

struct ProgramElement {
  bool isCpe = false;  // for the front, side and back lists; unused for the others
  std::uint8_t tag = 0;
};

struct ProgramConfig {
  int instanceTag = -1;
  int objectType = 0;  // profile (2 bits) as transmitted: 0 Main, 1 LC, 2 SSR, 3 LTP
  int samplingIndex = 0;
  int numFront = 0, numSide = 0, numBack = 0, numLfe = 0, numAssocData = 0, numValidCc = 0;
  std::array<ProgramElement, 16> front{}, side{}, back{}, validCc{};  // validCc: isCpe = ind_sw
  std::array<ProgramElement, 4> lfe{};
  std::array<ProgramElement, 8> assocData{};
  bool monoMixdownPresent = false;
  int monoMixdownElement = 0;
  bool stereoMixdownPresent = false;
  int stereoMixdownElement = 0;
  bool matrixMixdownIdxPresent = false;
  int matrixMixdownIdx = 0;
  bool pseudoSurroundEnable = false;
  int commentBytes = 0;
  std::array<char, 256> comment{};  // zero-terminated
};

// Reads one program_config_element (after its identifier) into `pce`. When no program is
// selected yet its tag becomes the selected one; the selected program rebuilds the
// channel map (and the sampling index). Returns the instance tag, or -1 when the element
// is the selected program and was refused (channels other than up to two front ones, or
// a mixdown), in which case the map may be left partly built.
int ParseProgramConfig(BitReader& reader, SyntaxState& state, ProgramConfig& pce);

}  // namespace zbaac
