// Arbitrary bytes opened as an experiment file, from memory. The open must
// never crash, never read out of bounds, never allocate from a count the
// file has no bytes for (the run's malloc limit catches that), and never
// open more trace windows than the file holds entries for. A failed open
// must leave the record empty.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/experiment_file.h"
#include "core/storage/relative_time.h"
#include "platform/os/folders.h"

namespace {

// The file being opened is the fuzzer's input; nothing else exists.
class MemoryFiles : public ORV::ExperimentFileSystem {
 public:
  std::string bytes;
  std::unique_ptr<ORV::OutputFile> CreateReplacement(const std::string&) override { return nullptr; }
  std::unique_ptr<std::istream> OpenRead(const std::string&) override {
    return std::make_unique<std::istringstream>(bytes, std::ios::binary);
  }
  bool Exists(const std::string&) override { return false; }
  bool Remove(const std::string&) override { return false; }
  bool SameFile(const std::string&, const std::string&) override { return false; }
  bool Copy(const std::string&, const std::string&, const std::function<void(std::uint64_t, std::uint64_t)>&) override {
    return false;
  }
};

// Counts the windows opened; every other call checks its window.
class CountingHost : public ORV::TraceWindowHost {
 public:
  int opened = 0;
  std::vector<ORV::TraceWindowState> TraceWindows() const override { return {}; }
  int OpenTraceWindow() override { return opened++; }
  void ShowTrace(int w, std::int32_t) override { Check(w); }
  void SetCamera(int w, std::int32_t camera) override {
    Check(w);
    if (camera < 0 || camera > 3) std::abort();
  }
  void SetZone(int w, std::int32_t camera, std::int32_t zone) override {
    Check(w);
    if (camera < 0 || camera > 3 || zone < 0 || zone > 3) std::abort();
  }
  void ConfigureGraphForTrace(int w, std::int32_t) override { Check(w); }
  void SetVisibleRange(int w, double, double) override { Check(w); }
  void Redraw(int w) override { Check(w); }
  bool IsSheetOpen(ORV::SheetKind) const override { return false; }
  void OpenSheet(ORV::SheetKind) override {}

 private:
  void Check(int w) const {
    if (w < 0 || w >= opened) std::abort();
  }
};

std::uint32_t U32At(const std::uint8_t* data, std::size_t size, std::size_t at) {
  std::uint32_t v = 0;
  if (at + 4 <= size) std::memcpy(&v, data + at, 4);
  return v;
}

// The most trace-window entries the input can hold: none in versions 1 and
// 2; otherwise the bytes after the entry count (table entry 7) divided by
// the smallest entry (24 bytes in version 3, 28 later).
std::uint64_t EntriesHeld(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint16_t version = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
  if (version < 3) return 0;
  const std::uint64_t block = U32At(data, size, 2 + 4 + 4 * 7);
  if (block + 4 > size) return 0;
  const std::uint64_t entry = version == 3 ? 24 : 28;
  return std::min<std::uint64_t>(U32At(data, size, block), (size - block - 4) / entry);
}

struct World {
  World() {
    // The record stores sync every transaction: in memory when possible.
    if (std::filesystem::is_directory("/dev/shm")) setenv("TMPDIR", "/dev/shm", 1);
    folder = ORV::OS::MakePrivateWorkingDir("orv-fuzz-open");
    if (folder.empty()) std::abort();
    // The user's folders point into the private folder: no custom scripts,
    // no settings of the user's own.
    for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
      setenv(var, folder.c_str(), 1);
    std::filesystem::create_directories(folder + "/empty");
    clock.OpenStore(folder + "/clock");
    data = std::make_unique<ORV::ExperimentData>(configuration, clock);
    // The marker and action stores stay closed: reopening them on every
    // input (the record's Clear) would cost more than the open itself. The
    // markers and actions are still read and encoded, only not stored.
    context.files = &files;
    context.windows = &host;
  }
  ~World() {
    data.reset();
    clock.CloseStore();
    ORV::OS::RemoveTree(folder);
  }

  std::string folder;
  ORV::Configuration configuration;
  ORV::RelativeTime::RelativeTime clock;
  std::unique_ptr<ORV::ExperimentData> data;
  MemoryFiles files;
  CountingHost host;
  ORV::ExperimentFileContext context{clock};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World world;
  world.files.bytes.assign(reinterpret_cast<const char*>(data), size);
  world.host.opened = 0;
  // Custom traces added by the previous input go.
  world.data->LoadCustomTracesFrom(world.folder + "/empty");

  const int result = ORV::OpenExperiment(*world.data, world.folder + "/input.tvx", world.context);
  if (result > 2 || result < -15) std::abort();
  if (static_cast<std::uint64_t>(world.host.opened) > EntriesHeld(data, size)) std::abort();
  if (result < 1) {
    const bool empty = world.data->Read([](const ORV::ExperimentContents& c) {
      return c.title.empty() && c.flowSamples.empty() && c.pressureSamples.empty() && c.calculations.empty() &&
             c.zoneData[0].empty() && c.fileCameraNames.empty() && c.indexImages.empty();
    });
    if (!empty || world.data->MarkerCount() != 0) std::abort();
  }
  return 0;
}
