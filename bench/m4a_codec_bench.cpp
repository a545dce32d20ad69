// Encodes a WAV file to M4A (EncodeM4aFile) or decodes an M4A file to WAV (DecodeM4aFile),
// as the codec threads do, for bench/m4a_codec.sh to time.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "maker/codec/m4a_encoder.h"
#include "maker/codec/m4a_file_decoder.h"

namespace {

int32_t Remember(void* record, uint8_t kind, int32_t, const char* text) {
  *static_cast<int*>(record) = kind;
  if (kind <= 12) std::fprintf(stderr, "m4a_codec_bench: %s\n", text != nullptr ? text : "");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (!((mode == "encode" && argc == 5) || (mode == "decode" && argc == 4))) {
    std::fprintf(stderr,
                 "usage: m4a_codec_bench encode INPUT.wav OUTPUT.m4a KBPS\n"
                 "       m4a_codec_bench decode INPUT.m4a OUTPUT.wav\n");
    return 2;
  }
  int lastKind = -1;
  if (mode == "encode") {
    EncodeM4aFile(argv[2], argv[3], {.bitRate = std::atoi(argv[4])}, &lastKind, Remember);
  } else {
    DecodeM4aFile(argv[2], argv[3], &lastKind, Remember);
  }
  return lastKind == 15 ? 0 : 1;
}
