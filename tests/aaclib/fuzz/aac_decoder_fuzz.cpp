// Fuzz target: arbitrary bytes as an AAC file through Open, Decode, Report and Close; the
// report must hold together with what Decode gave.
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
  // Every block costs at least a few bytes of input, or stands for a lost frame of some
  // hundred bytes: the bound only guards against a hang.
  std::uint64_t blocks = 0;
  while (blocks < 65536 && AACDecoder_Decode(out) != 0) ++blocks;
  const bool ended = blocks < 65536;
  AACDecoder_Decode(out);  // once more after the end or an error
  AacDecodeReport report{};
  const int32_t verdict = AACDecoder_Report(&report, sizeof report);
  if (verdict != report.verdict || verdict < ZBAAC_VERDICT_RUNNING || verdict > ZBAAC_VERDICT_CANNOT_READ) std::abort();
  if (ended && verdict == ZBAAC_VERDICT_RUNNING) std::abort();
  if (ended && report.blocksDecoded + report.blocksEmpty + report.blocksSilent != blocks) std::abort();
  if (report.inputBytes != size || report.lostPerMille > 1000) std::abort();
  if (report.bytesSkipped + report.bytesUnread + report.bytesTruncated + report.bytesMetadata > size) std::abort();
  if ((verdict == ZBAAC_VERDICT_OK || verdict == ZBAAC_VERDICT_OK_WITH_LOSSES) && report.blocksDecoded == 0) std::abort();
  AACDecoder_Close();
  return 0;
}
