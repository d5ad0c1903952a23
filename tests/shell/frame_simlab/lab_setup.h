#pragma once
// The simulated lab as the frame tests of this folder use it: two cameras,
// and the camera windows' analysis control registered as at the program's
// first start (in the settings store of the sandbox the test keeps).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "analysis_control/analysis_interface.h"
#include "platform/com/control_loader.h"
#include "platform/os/registry_store.h"

namespace ORV::Test {

inline ::testing::AssertionResult UseTheLab() {
  setenv("ORV_SIMLAB", "1", 1);
  setenv("ORV_SIMLAB_CAMERAS", "2", 1);
  const std::string_view progIds[] = {AnalysisView::kProgId};
  if (Com::ControlFactory(OS::RegistryStore::User(), {ORV_ANALYSIS_CONTROL_DIR}).RegisterFromFolders(progIds) !=
      Com::S_OK)
    return ::testing::AssertionFailure() << "the analysis control could not be registered";
  return ::testing::AssertionSuccess();
}

}  // namespace ORV::Test
