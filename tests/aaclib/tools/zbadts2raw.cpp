// zbadts2raw: writes the raw data blocks and an ADIF form of an ADTS file.
//   zbadts2raw INPUT.aac RAW_OUT [ADIF_OUT]
#include <cstdio>
#include <exception>
#include <string>

#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/aaclib/helpers/adts_convert.h"

namespace {

int Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "zbadts2raw: %s%s\n", what, detail.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zbaac::test;
  try {
    if (argc < 3 || argc > 4) {
      std::fprintf(stderr, "usage: zbadts2raw INPUT.aac RAW_OUT [ADIF_OUT]\n");
      return 2;
    }
    const auto adts = ReadFileBytes(argv[1]);
    if (adts.empty()) return Fail("cannot read ", argv[1]);
    auto raw = AdtsToRaw(adts);
    if (!raw) return Fail(argv[1], ": " + raw.Error());
    if (!WriteFileBytes(argv[2], raw.Value())) return Fail("cannot write ", argv[2]);
    if (argc == 4) {
      auto adif = AdtsToAdif(adts);
      if (!adif) return Fail(argv[1], ": " + adif.Error());
      if (!WriteFileBytes(argv[3], adif.Value())) return Fail("cannot write ", argv[3]);
    }
    return 0;
  } catch (const std::exception& error) {
    return Fail(error.what(), "");
  }
}
