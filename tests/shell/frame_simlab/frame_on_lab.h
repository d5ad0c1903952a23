#pragma once
// The main frame on the simulated lab, as the tests of this folder start
// it: the lab with its cameras, the settings loaded, the analysis control
// registered as the program's first start registers it, and the frame
// created, sized and shown.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string_view>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "instruments/interface_manager.h"
#include "platform/com/control_loader.h"
#include "platform/os/registry_store.h"
#include "shell/frame/program_frame.h"
#include "tests/support/simulated_lab.h"
#include "tests/support/test_world.h"

namespace ORV::Test {

// The lab with `cameras` cameras and the settings loaded; false (with the
// failure reported) when the analysis control could not be registered.
inline bool PrepareLab(const char* cameras) {
  setenv("ORV_SIMLAB", "1", 1);
  setenv("ORV_SIMLAB_CAMERAS", cameras, 1);
  ProcessLab();
  ORV::Test::SharedConfiguration().Load();
  const std::string_view progIds[] = {AnalysisView::kProgId};
  const Com::HRESULT hr =
      Com::ControlFactory(OS::RegistryStore::User(), {ORV_ANALYSIS_CONTROL_DIR}).RegisterFromFolders(progIds);
  EXPECT_EQ(hr, Com::S_OK) << "the analysis control registered";
  return hr == Com::S_OK;
}

// The main frame on the lab, created, `width` x `height` and shown; null
// (with the failure reported) when it could not be created.
inline std::unique_ptr<CMainFrame> ShowFrameOnLab(int width, int height) {
  std::unique_ptr<CMainFrame> frame =
      CreateMainFrame(ORV::Test::SharedConfiguration(), ORV::Test::SharedSession().Experiment(), SharedInstruments());
  const int created = frame->OnCreate();
  EXPECT_EQ(created, 0) << "the main frame created";
  if (created != 0) return nullptr;
  frame->resize(width, height);
  frame->show();
  return frame;
}

}  // namespace ORV::Test
