// main of the GUI test suites: the application object lives for the whole
// run, on this (the GUI) thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "platform/ui/app_services.h"

int main(int argc, char** argv) {
  // Tests need no display; CTest sets the platform, test discovery does not.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  // As in the program: numbers never follow the user's locale, sizes follow
  // the screen, and the core's calls for the GUI thread run on this one.
  ORV::UI::InitApplicationServices();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
