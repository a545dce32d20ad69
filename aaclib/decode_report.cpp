// The verdict over a stream's decode.
#include "aaclib/decode_report.h"

#include <algorithm>

namespace zbaac {

namespace {

std::uint64_t AudioBytes(const DecodeReport& report) {
  return report.inputBytes > report.bytesMetadata ? report.inputBytes - report.bytesMetadata : 0;
}

}  // namespace

std::uint64_t LostBytes(const DecodeReport& report) { return report.bytesSkipped + report.bytesUnread; }

std::uint32_t LostPerMille(const DecodeReport& report) {
  const std::uint64_t audio = AudioBytes(report);
  if (audio == 0) return 0;
  const std::uint64_t lost = std::min(LostBytes(report), audio);
  return static_cast<std::uint32_t>(lost * 1000 / audio);
}

DecodeVerdict Judge(const DecodeReport& report) {
  if (report.errorNumber != 0) return DecodeVerdict::CannotRead;
  if (!report.ended) return DecodeVerdict::Running;
  if (report.blocksDecoded == 0) return DecodeVerdict::NoAudio;
  const std::uint64_t lost = LostBytes(report);
  if (lost * kLostShareDivisor > AudioBytes(report)) {
    return report.blocksDecoded < kFirstBlocks ? DecodeVerdict::NoAudio : DecodeVerdict::Damaged;
  }
  if (lost > 0 || report.framesSkipped > 0 || report.blocksSilent > 0 || report.bytesTruncated > 0) {
    return DecodeVerdict::OkWithLosses;
  }
  return DecodeVerdict::Ok;
}

}  // namespace zbaac
