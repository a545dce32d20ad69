// Fuzz target: arbitrary bytes as an AAC file through Open, Decode and Close.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "aaclib/zbaaclib.h"

namespace {

std::string TempFile() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zbaac_fuzz_" + std::to_string(getpid()) + ".aac";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = TempFile();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  if (size > 0 && std::fwrite(data, 1, size, file) != size) {
    std::fclose(file);
    return 0;
  }
  std::fclose(file);

  AacStreamInfo info{};
  AACDecoder_Open(&info, path.c_str());
  static std::int16_t out[ZBAAC_OUTPUT_SAMPLES];
  // Every block costs at least a few bytes of input: the bound only guards against a hang.
  for (int blocks = 0; blocks < 4096 && AACDecoder_Decode(out) != 0; ++blocks) {
  }
  AACDecoder_Decode(out);  // once more after the end or an error
  AACDecoder_Close();
  return 0;
}
