// libzbmakerbatch.so: the job engine of the terminal, loaded by zbmaker for --batch and
// --verify-log.
#include <cstdio>
#include <exception>
#include <type_traits>

#include "maker/batch/batch_options.h"
#include "maker/batch/batch_rip_log.h"
#include "maker/batch/batch_run.h"
#include "maker/batch/maker_modules.h"
#include "maker/batch/signal_canceller.h"

namespace {

int RunTerminal(const BatchOptions& options) {
  // Checking a rip log needs neither the window nor a CD.
  if (!options.verifyLog.empty()) return VerifyRipLogCommand(options.verifyLog, stdout, stderr);
  // --quiet: the log and the final list go nowhere; errors still reach standard error.
  std::FILE* out = stdout;
  if (options.quiet) {
    if (std::FILE* nowhere = std::fopen("/dev/null", "w")) out = nowhere;
  }
  SignalCanceller canceller;
  const int code = RunBatch(options, out, stderr, &canceller);
  if (out != stdout) std::fclose(out);
  // Cancelled by Ctrl-C or SIGTERM: the status a shell expects of a program that signal ended.
  if (const int received = canceller.CancelSignal(); received != 0) return 128 + received;
  return code;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int zb_maker_batch_main(const BatchOptions* options) {
  static_assert(std::is_same_v<decltype(&zb_maker_batch_main), MakerBatchEntry>);
  // No exception crosses into the program: it ends the run as any other failure does.
  try {
    return RunTerminal(*options);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "zbmaker: %s\n", failure.what());
  } catch (...) {
    std::fputs("zbmaker: the run failed with an unknown error\n", stderr);
  }
  return 1;
}
