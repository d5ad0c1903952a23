// Pack bytes -> entries and their files in a working folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/settings/settings_archive.h"
#include "platform/os/folders.h"

namespace {

// The run's working folder, removed when the fuzzer exits.
struct WorkingFolder {
  std::string path = ORV::OS::MakePrivateWorkingDir("orv-fuzz-unpack-");
  ~WorkingFolder() {
    if (!path.empty()) ORV::OS::RemoveTree(path);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const WorkingFolder folder;
  const std::string& parent = folder.path;
  if (parent.empty()) std::abort();
  const std::string work = parent + "/work";
  ORV::OS::RemoveTree(work);
  ORV::OS::EnsureDir(work);

  ORV::UnpackLimits limits;
  limits.maxEntryBytes = 1 << 20;
  limits.maxTotalBytes = 4 << 20;
  limits.maxEntries = 64;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<ORV::SettingsArchiveEntry> entries;
  ORV::UnpackSettingsPack(in, work, entries, limits);

  // Every accepted entry is a bare name whose file lies in the working folder.
  for (const auto& e : entries) {
    if (!ORV::IsBareFileName(e.name) || !ORV::OS::PathExists(ORV::SettingsEntryPath(work, e))) std::abort();
  }
  if (entries.size() > limits.maxEntries) std::abort();
  return 0;
}
