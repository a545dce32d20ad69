// The text of what a decode lost.
#include "aaclib/loss_text.h"

namespace zbaac {

std::string LossText(const AacDecodeReport& report) {
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
  if (report.framesSkipped > 0) {
    const bool one = report.framesSkipped == 1;
    add("skipped " + std::to_string(report.framesSkipped) + " damaged frame" + (one ? "" : "s") + " (" +
        std::to_string(report.bytesSkipped) + " bytes; silence in " + (one ? "its" : "their") + " place)");
  } else if (report.bytesSkipped > 0) {
    add("skipped " + std::to_string(report.bytesSkipped) + " bytes without AAC frames");
  }
  if (report.bytesUnread > 0) add("ignored " + std::to_string(report.bytesUnread) + " bytes of trailing data");
  if (report.bytesTruncated > 0) {
    add("the last block is incomplete (" + std::to_string(report.bytesTruncated) + " bytes)");
  }
  return text;
}

}  // namespace zbaac
