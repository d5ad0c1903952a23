// main of the GUI test suites: the application object lives for the whole
// run, on this (the GUI) thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>
#include <cstdlib>
#include <cstring>

#include "platform/ui/app_services.h"

int main(int argc, char** argv) {
  // Tests need no display; CTest sets the platform, test discovery does not.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Text is measured with the tests' own font set, whatever fonts the machine
  // has, unless ORV_TEST_FONTS=system asks for the machine's (the second run
  // of make test, which proves that no test depends on the font).
  const char* fonts = std::getenv("ORV_TEST_FONTS");
  if (fonts == nullptr || std::strcmp(fonts, "system") != 0) setenv("FONTCONFIG_FILE", ORV_TEST_FONTCONFIG, 1);
  QApplication app(argc, argv);
  // One widget style everywhere: the desktop's default style differs between
  // machines and changes the widgets' sizes.
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  // As in the program: numbers never follow the user's locale, sizes follow
  // the screen, and the core's calls for the GUI thread run on this one.
  ORV::UI::InitApplicationServices();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
