// libzbmakerwindow.so: the maker's window, loaded by zbmaker when it is started without
// --batch.
#include <cstdio>
#include <exception>
#include <type_traits>

#include "maker/batch/maker_modules.h"
#include "maker/jobs/ui/window_main.h"

extern "C" __attribute__((visibility("default"))) int zb_maker_window_main(int argc, char** argv,
                                                                        const std::vector<std::string>* jobArgs) {
  static_assert(std::is_same_v<decltype(&zb_maker_window_main), MakerWindowEntry>);
  // The window's own handlers report their failures; what escapes them (the window could
  // not be made) ends the program with a message instead of crossing into it.
  try {
    return RunMakerWindow(argc, argv, *jobArgs);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "zbmaker: %s\n", failure.what());
  } catch (...) {
    std::fputs("zbmaker: the window failed with an unknown error\n", stderr);
  }
  return 1;
}
