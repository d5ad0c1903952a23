// Tarvix 5: the program's entry point.
#include <QApplication>
#include <iostream>
#include <string>

#include "platform/ui/app_services.h"
#include "shell/app/display_check.h"
#include "shell/program/program.h"

int main(int argc, char** argv) {
  if (const std::string problem = ORV::Shell::DisplayProblem(); !problem.empty()) {
    std::cerr << problem;
    return 1;
  }
  QApplication qtApp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarvix 5"));
  QApplication::setOrganizationName(QStringLiteral("Orvanta"));
  ORV::UI::InitApplicationServices();

  ORV::Shell::AppOptions options;
  options.args.assign(argv + 1, argv + argc);
  ORV::Program program(std::move(options));
  return program.App().Run();
}
