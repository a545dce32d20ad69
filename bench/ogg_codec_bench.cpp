// Runs one Ogg Vorbis or Opus adapter on one file, for the benchmark scripts:
//   ogg_codec_bench vorbis IN.wav OUT.ogg [QUALITY] | opus IN.wav OUT.opus [KBPS]
//                   | vorbis-decode IN.ogg OUT.wav | opus-decode IN.opus OUT.wav
// Exits 1 when the adapter's final event is not "finished".
#include <cstdio>
#include <cstdlib>
#include <string>

#include "maker/codec/opus_encoder.h"
#include "maker/codec/opus_file_decoder.h"
#include "maker/codec/vorbis_encoder.h"
#include "maker/codec/vorbis_file_decoder.h"

namespace {

int32_t PrintFailure(void* record, uint8_t kind, int32_t, const char* text) {
  if (kind == static_cast<uint8_t>(CodecEvent::Finished)) *static_cast<bool*>(record) = true;
  if (text != nullptr && *text != '\0') std::fprintf(stderr, "ogg_codec_bench: %s\n", text);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: ogg_codec_bench vorbis|opus|vorbis-decode|opus-decode IN OUT [SETTING]\n");
    return 2;
  }
  const std::string mode = argv[1];
  const bool haveSetting = argc == 5;
  bool finished = false;
  if (mode == "vorbis") {
    EncodeVorbisFile(argv[2], argv[3], {.quality = haveSetting ? std::atoi(argv[4]) : 5}, &finished, PrintFailure);
  } else if (mode == "opus") {
    EncodeOpusFile(argv[2], argv[3], {.bitRate = haveSetting ? std::atoi(argv[4]) : 160}, &finished, PrintFailure);
  } else if (mode == "vorbis-decode") {
    DecodeVorbisFile(argv[2], argv[3], &finished, PrintFailure);
  } else if (mode == "opus-decode") {
    DecodeOpusFile(argv[2], argv[3], &finished, PrintFailure);
  } else {
    std::fprintf(stderr, "ogg_codec_bench: unknown mode %s\n", argv[1]);
    return 2;
  }
  return finished ? 0 : 1;
}
