// zbmaker: without --batch it opens the main window with the files of the command line;
// with --batch it runs the job engine in the terminal.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "maker/batch/batch_options.h"
#include "maker/batch/batch_rip_log.h"
#include "maker/batch/batch_run.h"
#include "maker/batch/signal_canceller.h"
#include "maker/jobs/ui/window_main.h"

int main(int argc, char** argv) {
  // A reader of the log that goes away (`zbmaker --batch ... | head`) must not end the
  // conversions: writes to it then fail with EPIPE, and are dropped.
  ::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  auto parsed = ParseBatchOptions(args);
  if (!parsed) {
    std::fprintf(stderr, "%s\n", UsageErrorLine(parsed.Error().Message()).c_str());
    return kBatchUsage;
  }
  const BatchOptions& options = parsed.Value();
  if (options.help) {
    std::fputs(BatchUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%s\n", VersionText().c_str());
    return 0;
  }
  // Checking a rip log needs neither the window nor a CD.
  if (!options.verifyLog.empty()) return VerifyRipLogCommand(options.verifyLog, stdout, stderr);
  if (!options.batch) {
    if (!WindowPlatformAvailable()) {
      std::fputs("zbmaker: there is no display to open the window on; use --batch to convert in this terminal\n\n",
                 stderr);
      std::fputs(BatchUsage().c_str(), stderr);
      return kBatchUsage;
    }
    return RunMakerWindow(argc, argv, options.jobArgs);
  }
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
