// Encodes one WAV file to FLAC through EncodeFlacFile, for bench/flac_encode.sh to time.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "maker/codec/flac_encoder.h"

namespace {

int32_t PrintFailure(void*, uint8_t kind, int32_t, const char* text) {
  if (kind <= 12) std::fprintf(stderr, "flac_encode_bench: %s\n", text != nullptr ? text : "");
  return 0;
}

struct Outcome {
  int lastKind = -1;
};

int32_t Remember(void* record, uint8_t kind, int32_t value, const char* text) {
  static_cast<Outcome*>(record)->lastKind = kind;
  return PrintFailure(record, kind, value, text);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: flac_encode_bench INPUT.wav OUTPUT.flac LEVEL VERIFY(0|1)\n");
    return 2;
  }
  const FlacEncodeOptions options{.level = std::atoi(argv[3]), .verify = std::string(argv[4]) != "0"};
  Outcome outcome;
  EncodeFlacFile(argv[1], argv[2], options, &outcome, Remember);
  return outcome.lastKind == 15 ? 0 : 1;
}
