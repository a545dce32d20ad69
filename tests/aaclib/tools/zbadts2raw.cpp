// zbadts2raw: writes the raw data blocks and an ADIF form of an ADTS file.
//   zbadts2raw INPUT.aac RAW_OUT [ADIF_OUT]
#include <cstdio>
#include <exception>

#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/aaclib/helpers/adts_convert.h"

int main(int argc, char** argv) {
  try {
    if (argc < 3 || argc > 4) {
      std::fprintf(stderr, "usage: zbadts2raw INPUT.aac RAW_OUT [ADIF_OUT]\n");
      return 2;
    }
    const auto adts = zbaac::test::ReadFileBytes(argv[1]);
    if (adts.empty()) {
      std::fprintf(stderr, "zbadts2raw: cannot read %s\n", argv[1]);
      return 1;
    }
    auto raw = zbaac::test::AdtsToRaw(adts);
    if (!raw) {
      std::fprintf(stderr, "zbadts2raw: %s: %s\n", argv[1], raw.Error().c_str());
      return 1;
    }
    if (!zbaac::test::WriteFileBytes(argv[2], raw.Value())) {
      std::fprintf(stderr, "zbadts2raw: cannot write %s\n", argv[2]);
      return 1;
    }
    if (argc == 4) {
      auto adif = zbaac::test::AdtsToAdif(adts);
      if (!adif) {
        std::fprintf(stderr, "zbadts2raw: %s: %s\n", argv[1], adif.Error().c_str());
        return 1;
      }
      if (!zbaac::test::WriteFileBytes(argv[3], adif.Value())) {
        std::fprintf(stderr, "zbadts2raw: cannot write %s\n", argv[3]);
        return 1;
      }
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zbadts2raw: %s\n", error.what());
    return 1;
  }
}
