// zbmaker: without --batch it explains how to run; with --batch it runs the job engine in
// the terminal.
#include <cstdio>
#include <string>
#include <vector>

#include "maker/batch/batch_options.h"
#include "maker/batch/batch_run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  auto parsed = ParseBatchOptions(args);
  if (!parsed) {
    std::fprintf(stderr, "zbmaker: %s\n\n%s", parsed.Error().message.c_str(), BatchUsage().c_str());
    return kBatchUsage;
  }
  const BatchOptions& options = parsed.Value();
  if (options.help) {
    std::fputs(BatchUsage().c_str(), stdout);
    return 0;
  }
  if (!options.batch) {
    std::fputs(BatchUsage().c_str(), stderr);
    return kBatchUsage;
  }
  return RunBatch(options, stdout, stderr, /*cancelOnSignals=*/true);
}
