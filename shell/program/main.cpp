// Tarvix 5: the program's entry point.
#include <QApplication>
#include <iostream>
#include <string>

#include "platform/os/memory_policy.h"
#include "platform/ui/app_services.h"
#include "shell/app/display_check.h"
#include "shell/program/program.h"
#include "shell/program/simulated_lab_choice.h"

int main(int argc, char** argv) {
  ORV::OS::ApplyProgramMemoryPolicy();  // before any thread starts
  if (const std::string problem = ORV::Shell::DisplayProblem(); !problem.empty()) {
    std::cerr << problem;
    return 1;
  }
  QApplication qtApp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarvix 5"));
  QApplication::setOrganizationName(QStringLiteral("Orvanta"));
  ORV::UI::InitApplicationServices();
  const auto lab = ORV::Shell::StartSimulatedLabWhenAsked();

  ORV::Shell::AppOptions options;
  options.args.assign(argv + 1, argv + argc);
  ORV::Program program(std::move(options));
  return program.App().Run();
}
