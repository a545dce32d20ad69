// `zbmaker --verify-log FILE`.
#include "maker/batch/batch_rip_log.h"

#include "maker/accuracy/rip_log.h"
#include "maker/batch/terminal_text.h"

int VerifyRipLogCommand(const std::string& path, std::FILE* out, std::FILE* err) {
  const std::string shown = TerminalText(path);
  if (const Outcome verified = VerifyRipLogFile(path); !verified) {
    std::fprintf(err, "zbmaker: %s: %s\n", shown.c_str(), TerminalText(verified.Error().Message()).c_str());
    return 1;
  }
  std::fprintf(out, "%s: the log is intact\n", shown.c_str());
  std::fflush(out);
  return 0;
}
