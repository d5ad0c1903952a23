#include "shell/program/program.h"

#include "shell/frame/app_frame_adapter.h"

namespace ORV {

Program::Program(Shell::AppOptions options) : session_(configuration_, clock_), instruments_(configuration_) {
  const MainFrameWorld frameWorld{configuration_, session_.Experiment(), instruments_};
  options.frameFactory = [frameWorld](Shell::AppCommands& app) { return MakeMainAppFrame(frameWorld, app); };
  options.glueHost = MakeProgramGlueHost;
  app_ = std::make_unique<Shell::CPelmoraApp>(Shell::AppWorld{configuration_, clock_, &session_.Experiment()},
                                              std::move(options));
}

Program::~Program() = default;

}  // namespace ORV
