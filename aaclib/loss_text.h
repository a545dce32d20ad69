// What a decode lost, in words: the one text that zbaacdec and the maker's AAC decoder
// both show for the frames, bytes and blocks a decode of libzbaaclib.so skipped.
#pragma once

#include <string>

#include "aaclib/zbaaclib.h"

namespace zbaac {

// "skipped 2 damaged frames (740 bytes; silence in their place); ignored 12 bytes of
// trailing data". Empty when nothing was lost.
std::string LossText(const AacDecodeReport& report);

}  // namespace zbaac
