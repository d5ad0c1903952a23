// The frame writes the settings at close to the store the application read
// them from, so that what the user changed is there at the next start.
#include <gtest/gtest.h>

#include <string>

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "instruments/interface_manager.h"
#include "platform/os/registry_store.h"
#include "shell/frame/program_frame.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

namespace ORV {
namespace {

TEST(MainFrameSettings, ChangesAreSavedToTheApplicationsStoreAndReadBackAtTheNextStart) {
  ORV::Test::SandboxedHome home;
  const std::string file = home.root() + "/application-settings.dat";
  {
    OS::RegistryStore store(file);
    Configuration configuration;
    configuration.Load(store);
    ASSERT_FALSE(configuration.AutoThreshold);
    configuration.AutoThreshold = true;
    ProgramFrameOptions options;
    options.settingsStore = &store;
    std::unique_ptr<CMainFrame> frame = CreateMainFrame(configuration, ORV::Test::SharedSession().Experiment(),
                                                        ORV::Test::SharedInstruments(), options);
    ASSERT_TRUE(frame->OnClose(false));
  }
  OS::RegistryStore reopened(file);
  Configuration next;
  next.Load(reopened);
  EXPECT_TRUE(next.AutoThreshold);
  // The user's default store was left alone.
  Configuration fromUserStore;
  fromUserStore.Load();
  EXPECT_FALSE(fromUserStore.AutoThreshold);
}

}  // namespace
}  // namespace ORV
