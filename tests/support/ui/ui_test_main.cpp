// main of the GUI test suites: the application object lives for the whole
// run, on this (the GUI) thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "platform/os/number_text.h"
#include "platform/ui/dpi.h"

int main(int argc, char** argv) {
  // Tests need no display; CTest sets the platform, test discovery does not.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  // As in the program: numbers never follow the user's locale.
  ORV::OS::PinNumericLocale();
  ORV::UI::InstallScreenDpiProvider();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
