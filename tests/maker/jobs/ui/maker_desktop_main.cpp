// The runner of the end-to-end window tests: the X server is used when DISPLAY names one.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdlib>

#include "maker_desktop_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  maker_desktop::g_servers = display && *display;
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
