// main() of the CD window tests: one QApplication for all of them, offscreen.
#include <QApplication>
#include <gtest/gtest.h>

#include "tests/common/temp_dir.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Offscreen also when CTest lists the tests without the tests' environment.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The windows translate themselves when created: with no language file in either place
  // they keep their built-in texts, whatever the user or the build tree has installed.
  TempDir folders;
  ScopedEnv userFolder("ZIMBAR_HOME", folders.Path().c_str());
  ScopedEnv shareFolder("ZIMBAR_SHARE_DIR", folders.Path().c_str());
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
