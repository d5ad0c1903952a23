#include "tests/shell/app/stub/freshet_recording_stub.h"

#include "updater/exports/freshet.h"

namespace ORV::Test {
namespace {
void* g_handle = nullptr;
std::string Text(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }
}  // namespace

std::vector<std::string>& FreshetCalls() {
  static std::vector<std::string> calls;
  return calls;
}

void* LastFreshetHandle() { return g_handle; }

}  // namespace ORV::Test

using ORV::Test::FreshetCalls;

extern "C" {

void Freshets_SetProduct(const char* productId) {
  FreshetCalls().push_back("SetProduct(" + ORV::Test::Text(productId) + ")");
}
void Freshets_SetVersion(int major, int minor, int revision, int build) {
  FreshetCalls().push_back("SetVersion(" + std::to_string(major) + "," + std::to_string(minor) + "," +
                           std::to_string(revision) + "," + std::to_string(build) + ")");
}
void Freshets_SetExtra(const char* extra) { FreshetCalls().push_back("SetExtra(" + ORV::Test::Text(extra) + ")"); }
void Freshets_SetUpdateType(const char* type) {
  FreshetCalls().push_back("SetUpdateType(" + ORV::Test::Text(type) + ")");
}
void Freshets_OverrideSettingsIfAvailable(const char* path) {
  FreshetCalls().push_back("OverrideSettingsIfAvailable(" + ORV::Test::Text(path) + ")");
}
int Freshets_CleanInstallationDirectory(void) {
  FreshetCalls().push_back("CleanInstallationDirectory()");
  return 1;
}
void Freshets_DoUpdateCheckAndInstallationWithDialog(void* window, int manual) {
  ORV::Test::g_handle = window;
  FreshetCalls().push_back("DoUpdateCheckAndInstallationWithDialog(" + std::to_string(manual) + ")");
}
void Freshets_Clear(void) { FreshetCalls().push_back("Clear()"); }

}  // extern "C"
