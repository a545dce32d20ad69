// zbmaker: reads its options, answers --help, --version and usage errors itself, and
// loads the rest from its own folder: the job engine for --batch and --verify-log, the
// window otherwise. The program links neither the codec libraries nor the window toolkit,
// so that what needs neither starts at once.
#include <dlfcn.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/library_loader.h"
#include "maker/batch/batch_options.h"
#include "maker/batch/batch_run.h"
#include "maker/batch/maker_modules.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// True when a window can be opened: a display (X11 or Wayland) or a Qt platform is named.
bool WindowPlatformAvailable() { return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY"); }

// The entry `entry` of the module `file` in the program's folder, or nullptr after a
// message that names the file and the loader's reason. The module stays loaded until the
// program ends: its threads, static objects and the window toolkit live in it.
void* ModuleEntry(const char* file, const char* entry) {
  std::string path = ProgramFolder();
  path += file;
  std::string reason;
  void* module = LoadForGood(path, reason);
  if (module == nullptr) {
    std::fprintf(stderr, "zbmaker: cannot load %s: %s\n", path.c_str(), reason.c_str());
    return nullptr;
  }
  void* address = ::dlsym(module, entry);
  if (address == nullptr) {
    std::fprintf(stderr, "zbmaker: %s has no entry %s (it belongs to another version of zbmaker)\n", path.c_str(),
                 entry);
  }
  return address;
}

}  // namespace

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
  if (options.batch || !options.verifyLog.empty()) {
    auto run = reinterpret_cast<MakerBatchEntry>(ModuleEntry(kMakerBatchModule, kMakerBatchEntry));
    if (run == nullptr) return kBatchFailed;
    return run(&options);
  }
  if (!WindowPlatformAvailable()) {
    std::fputs("zbmaker: there is no display to open the window on; use --batch to convert in this terminal\n\n",
               stderr);
    std::fputs(BatchUsage().c_str(), stderr);
    return kBatchUsage;
  }
  auto open = reinterpret_cast<MakerWindowEntry>(ModuleEntry(kMakerWindowModule, kMakerWindowEntry));
  if (open == nullptr) return kBatchFailed;
  return open(argc, argv, &options.jobArgs);
}
