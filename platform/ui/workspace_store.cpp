#include "platform/ui/workspace_store.h"

#include <QMainWindow>
#include <algorithm>

namespace ORV::UI {
namespace {

std::vector<std::uint8_t> Bytes(const QByteArray& data) { return {data.begin(), data.end()}; }

std::string RecentValueName(int index) { return "File" + std::to_string(index + 1); }

}  // namespace

WorkspaceStore::WorkspaceStore(OS::RegistryStore& store, std::string root)
    : store_(store), registry_(store, std::move(root)) {
  registry_.SetBase(kWorkspaceSection);
}

std::string WorkspaceStore::SectionPath(const char* section) const { return registry_.Root() + "\\" + section; }

QByteArray WorkspaceStore::ReadBinary(const char* name) const {
  const auto value = store_.GetValue(SectionPath(kWorkspaceSection), name);
  if (!value || value->type != OS::RegType::Binary) return {};
  return QByteArray(reinterpret_cast<const char*>(value->bytes.data()), static_cast<qsizetype>(value->bytes.size()));
}

bool WorkspaceStore::SaveState(const QMainWindow& frame) {
  OS::RegistryStore& store = store_;
  const std::string key = SectionPath(kWorkspaceSection);
  // One write of the file for both values, whose result is reported.
  OS::RegistryStore::Batch batch(store);
  return store.SetValue(key, kDockStateValue, OS::RegValue::MakeBinary(Bytes(frame.saveState()))) &&
         store.SetValue(key, kGeometryValue, OS::RegValue::MakeBinary(Bytes(frame.saveGeometry()))) && store.Flush();
}

bool WorkspaceStore::LoadState(QMainWindow& frame) const {
  const QByteArray state = ReadBinary(kDockStateValue);
  if (state.isEmpty()) return false;
  const QByteArray geometry = ReadBinary(kGeometryValue);
  if (!geometry.isEmpty()) frame.restoreGeometry(geometry);
  return frame.restoreState(state);
}

bool WorkspaceStore::HasState() const { return !ReadBinary(kDockStateValue).isEmpty(); }

void WorkspaceStore::CleanState() {
  OS::RegistryStore& store = store_;
  OS::RegistryStore::Batch batch(store);
  store.DeleteValue(SectionPath(kWorkspaceSection), kDockStateValue);
  store.DeleteValue(SectionPath(kWorkspaceSection), kGeometryValue);
}

bool WorkspaceStore::AddToRecentFileList(std::string_view path) {
  if (path.empty()) return false;
  std::vector<std::string> files = RecentFiles();
  files.erase(std::remove(files.begin(), files.end(), path), files.end());
  files.insert(files.begin(), std::string(path));
  if (files.size() > kMaxRecentFiles) files.resize(kMaxRecentFiles);
  OS::RegistryStore& store = store_;
  const std::string key = SectionPath(kRecentFileSection);
  OS::RegistryStore::Batch batch(store);
  for (int i = 0; i < kMaxRecentFiles; ++i) {
    if (i < static_cast<int>(files.size())) {
      if (!store.SetValue(key, RecentValueName(i), OS::RegValue::MakeString(files[i]))) return false;
    } else {
      store.DeleteValue(key, RecentValueName(i));
    }
  }
  return store.Flush();
}

std::vector<std::string> WorkspaceStore::RecentFiles() const {
  std::vector<std::string> files;
  const std::string key = SectionPath(kRecentFileSection);
  for (int i = 0; i < kMaxRecentFiles; ++i) {
    std::string path = store_.GetString(key, RecentValueName(i), "");
    if (!path.empty()) files.push_back(std::move(path));
  }
  return files;
}

}  // namespace ORV::UI
