#pragma once
// The workspace: what the frame remembers between runs in the registry store,
// below the application's key.
//
//   - integers and texts by name in the current section (the "registry
//     base"), which the views switch to their own sections and back;
//   - the layout of the frame's docking panes, kept in the "Workspace"
//     section ("DockState" and "FrameGeometry"); a clean state removes it, so
//     the next start docks every pane at its home side;
//   - the recent-file list: six paths, newest first, in "Recent File List"
//     as "File1" .. "File6".
//
// The store rewrites its file atomically (temporary file, flush, rename) and
// each of the operations here is one write, so a program killed while saving
// leaves the previous layout and list in place. GUI thread.
#include <QByteArray>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/app_registry.h"

class QMainWindow;

namespace ORV::UI {

class WorkspaceStore {
 public:
  static constexpr const char* kWorkspaceSection = "Workspace";
  static constexpr const char* kRecentFileSection = "Recent File List";
  static constexpr const char* kDockStateValue = "DockState";
  static constexpr const char* kGeometryValue = "FrameGeometry";
  static constexpr int kMaxRecentFiles = 6;

  // The workspace below `root` of `store`; the current section starts as
  // "Workspace".
  explicit WorkspaceStore(OS::RegistryStore& store, std::string root = kProductRegistryRoot);

  // The section GetInt .. WriteString use, below the application's key.
  void SetRegistryBase(std::string_view section) { registry_.SetBase(section); }
  const std::string& GetRegistryBase() const { return registry_.Base(); }
  int GetInt(std::string_view name, int def) const { return registry_.GetInt(name, def); }
  std::string GetString(std::string_view name, std::string_view def) const { return registry_.GetString(name, def); }
  bool WriteInt(std::string_view name, int value) { return registry_.WriteInt(name, value); }
  bool WriteString(std::string_view name, std::string_view value) { return registry_.WriteString(name, value); }
  AppRegistry& Registry() { return registry_; }

  // Stores the frame's dock layout and geometry; false when the store could
  // not write them.
  bool SaveState(const QMainWindow& frame);
  // Gives the frame the stored layout; false when none is stored or Qt
  // refuses it (the frame keeps its own layout then).
  bool LoadState(QMainWindow& frame) const;
  bool HasState() const;
  // Forgets the stored layout.
  void CleanState();

  // Puts `path` at the head of the list (moving it up when it is already
  // there, compared as written) and keeps the six newest.
  bool AddToRecentFileList(std::string_view path);
  std::vector<std::string> RecentFiles() const;

 private:
  std::string SectionPath(const char* section) const;
  QByteArray ReadBinary(const char* name) const;

  OS::RegistryStore& store_;
  AppRegistry registry_;
};

}  // namespace ORV::UI
