// main() of the maker's window tests: one application object, the program's own, for all
// tests of the program.
#include <gtest/gtest.h>

#include "maker/jobs/ui/maker_application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Offscreen always, also when CTest lists the tests (it runs the program without the
  // tests' environment then).
  qputenv("QT_QPA_PLATFORM", "offscreen");
  MakerApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
