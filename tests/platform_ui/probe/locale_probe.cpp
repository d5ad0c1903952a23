// Starts the application as the program does and prints how it formats and
// parses numbers: "%.3f" of 1.5, then whether "2.25" reads back as 2.25.
// With --no-services the application services are left out, which shows
// what the user's locale would have done.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ui/app_services.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const bool services = !(argc > 1 && std::strcmp(argv[1], "--no-services") == 0);
  QApplication app(argc, argv);
  if (services) ORV::UI::InitApplicationServices();
  char formatted[32];
  std::snprintf(formatted, sizeof formatted, "%.3f", 1.5);
  const bool parsed = std::strtod("2.25", nullptr) == 2.25;
  std::printf("%s %s\n", formatted, parsed ? "parsed" : "misread");
  return 0;
}
