#pragma once
// Fixtures shared by the settings tests: fake views, archive builders and
// snapshots of everything an import may change.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/experiment/trace_window_host.h"
#include "core/settings/settings_archive.h"
#include "platform/os/registry_store.h"
#include "tests/support/test_support.h"

namespace ORV::Test {

using Bytes = std::vector<std::uint8_t>;

// Views that record what they were asked to do.
class FakeViews : public TraceWindowHost {
 public:
  std::vector<TraceWindowState> windows;
  bool actionOpen = false;
  bool dataOpen = false;
  int actionOpened = 0;
  int dataOpened = 0;
  std::vector<std::string> calls;  // "show 2 4", "camera 2 1", "zone 2 1 3", "graph 2 4"

  std::vector<TraceWindowState> TraceWindows() const override { return windows; }
  int OpenTraceWindow() override;
  void ShowTrace(int window, std::int32_t traceCode) override;
  void SetCamera(int window, std::int32_t camera) override;
  void SetZone(int window, std::int32_t camera, std::int32_t zone) override;
  void ConfigureGraphForTrace(int window, std::int32_t traceCode) override;
  void SetVisibleRange(int window, double start, double end) override;
  void Redraw(int window) override;
  bool IsSheetOpen(SheetKind sheet) const override { return sheet == SheetKind::Action ? actionOpen : dataOpen; }
  void OpenSheet(SheetKind sheet) override;
};

std::string ReadAll(const std::string& path);
Bytes ReadBytes(const std::string& path);
void WriteAll(const std::string& path, std::string_view data);

// Pack bytes: the magic, then each {type, name, data} entry as the pack
// stores it.
struct RawEntry {
  std::uint8_t type;
  std::string name;
  std::string data;
};
Bytes MakePack(const std::vector<RawEntry>& entries);
Bytes Gzip(const Bytes& data);
// An archive file from pack bytes: gzip (unless `compress` is false), then a
// fixed IV and AES-256/CBC with `keyHex`.
void WriteArchive(const std::string& path, const Bytes& pack, bool compress = true,
                  std::string_view keyHex = kSettingsArchiveKeyHex);
// AES-256/CBC without padding, for ciphertexts whose padding is wrong.
Bytes EncryptNoPadding(const Bytes& plain, const Bytes& iv);

// Every file below a folder with its content (relative path -> bytes).
std::map<std::string, std::string> SnapshotFolder(const std::string& folder);

// The pieces an export wrote: decrypted with the openssl command-line tool
// and gunzipped with zlib.
Bytes PackOfArchive(const std::string& archivePath);
// The entries of pack bytes, unpacked into a fresh folder.
std::vector<SettingsArchiveEntry> EntriesOfPack(const Bytes& pack);

// A store in memory that stands in for the user's store while it lives.
class ScopedUserStore {
 public:
  ScopedUserStore() { OS::RegistryStore::SetUserStoreForTesting(&store); }
  ~ScopedUserStore() { OS::RegistryStore::SetUserStoreForTesting(nullptr); }
  OS::RegistryStore store;
};

inline constexpr const char* kAppKey = "HKEY_CURRENT_USER\\Software\\Orvanta\\Tarvix 5";

}  // namespace ORV::Test
