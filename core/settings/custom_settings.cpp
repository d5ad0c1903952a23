#include "core/settings/custom_settings.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <pugixml.hpp>

#include "core/base/event_log.h"
#include "core/settings/open_views.h"
#include "core/settings/workspace_xml.h"
#include "platform/os/folders.h"
#include "platform/os/registry_store.h"

namespace ORV {

namespace {

namespace fs = std::filesystem;

constexpr const char* kWorkingFolderPrefix = "ORV-Settings-TX5-";
constexpr const char* kScriptsIndexName = "Scripts.xml";
constexpr const char* kWorkspaceFileName = "Workspace.xml";
constexpr const char* kOpenViewsFileName = "Tarvix.xml";

// Removes the working folder when the operation ends, unless it is kept.
class WorkingFolder {
 public:
  WorkingFolder(std::string path, bool keep) : path_(std::move(path)), keep_(keep) {}
  ~WorkingFolder() {
    if (!keep_ && !path_.empty()) OS::RemoveTree(path_);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  bool keep_;
};

// Stands in for the views when there are none: nothing is open.
class NoOpenViews final : public TraceWindowHost {
 public:
  std::vector<TraceWindowState> TraceWindows() const override { return {}; }
  int OpenTraceWindow() override { return -1; }
  void ShowTrace(int, std::int32_t) override {}
  void SetCamera(int, std::int32_t) override {}
  void SetZone(int, std::int32_t, std::int32_t) override {}
  void ConfigureGraphForTrace(int, std::int32_t) override {}
  void SetVisibleRange(int, double, double) override {}
  void Redraw(int) override {}
  bool IsSheetOpen(SheetKind) const override { return false; }
  void OpenSheet(SheetKind) override {}
};

// "Overview.xml": the entries in pack order, for whoever inspects a kept
// working folder. It is never packed.
void WriteOverviewXml(const std::string& path, const std::vector<SettingsArchiveEntry>& entries) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("FilesIncludedInSettings");
  for (const auto& e : entries) {
    pugi::xml_node file = root.append_child("File");
    file.append_attribute("Type").set_value(SettingsEntryTypeText(e.type));
    file.text().set(e.name.c_str());
  }
  if (!doc.save_file(path.c_str(), "\t"))
    LogWarning("CCustomSettings::ExportSettingsArchive() - unable to write '" + path + "'");
}

// One entry that passed every check before anything is changed.
struct StagedEntry {
  SettingsArchiveEntry entry;
  std::unique_ptr<pugi::xml_document> workspace;  // type 1 only
};

std::vector<StagedEntry> StageEntries(const std::string& workingFolder, std::vector<SettingsArchiveEntry>& entries) {
  std::vector<StagedEntry> staged;
  for (auto& e : entries) {
    StagedEntry s{std::move(e), nullptr};
    const std::string path = SettingsEntryPath(workingFolder, s.entry);
    if (s.entry.type == SettingsEntryType::Workspace) {
      s.workspace = std::make_unique<pugi::xml_document>();
      if (!LoadWorkspaceXml(path, *s.workspace)) {
        LogWarning("CCustomSettings::ImportSettingsArchive() - skipped '" + s.entry.name + "', which does not parse");
        continue;
      }
    } else if (s.entry.type == SettingsEntryType::OpenViews && s.entry.name != kOpenViewsFileName) {
      LogWarning("CCustomSettings::ImportSettingsArchive() - skipped the open-views entry '" + s.entry.name + "'");
      continue;
    }
    staged.push_back(std::move(s));
  }
  return staged;
}

bool CopyEntryInto(const std::string& workingFolder, const SettingsArchiveEntry& entry, const std::string& folder) {
  if (OS::EnsureDir(folder) && ReplaceFileFrom(SettingsEntryPath(workingFolder, entry), folder + "/" + entry.name)) {
    return true;
  }
  LogError("CCustomSettings::ImportSettingsArchive() - unable to copy '" + entry.name + "' into '" + folder + "'");
  return false;
}

// Deletes the regular files of the scripts folder that the archive did not bring.
void RemoveStaleScripts(const std::string& folder, const std::vector<std::string>& keep) {
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(folder, ec)) {
    std::error_code e2;
    if (!item.is_regular_file(e2) || item.is_symlink(e2)) continue;
    const std::string name = item.path().filename().string();
    if (std::find(keep.begin(), keep.end(), name) != keep.end()) continue;
    fs::remove(item.path(), e2);
  }
}

}  // namespace

std::string CCustomSettings::ProgramLocalFolder() { return OS::ProductDataDir(); }
std::string CCustomSettings::CustomScriptsFolder() { return OS::ProductDataDir() + "/Custom Scripts"; }

int CCustomSettings::WriteWorkspaceXml(const std::string& file, const std::string& appKeyPath) {
  return ORV::WriteWorkspaceXml(OS::RegistryStore::User(), file, appKeyPath);
}

int CCustomSettings::WriteOpenViewsXml(const std::string& path) {
  if (views_) return ORV::WriteOpenViewsXml(*views_, path);
  return ORV::WriteOpenViewsXml(NoOpenViews(), path);
}

void CCustomSettings::ReadOpenViewsXml() {
  if (views_) ORV::ReadOpenViewsXml(*views_, OpenViewsFilePath());
}

int CCustomSettings::CopyCustomScriptsFolder(const std::string& destination, const std::string& source,
                                             std::vector<std::string>& names) {
  if (!OS::IsDirectory(source)) return -1;
  if (!OS::IsDirectory(destination)) return -2;
  const std::string index = source + "/" + kScriptsIndexName;
  std::error_code ec;
  if (!fs::is_regular_file(index, ec)) return -3;
  pugi::xml_document doc;
  if (!doc.load_file(index.c_str())) return -4;

  for (pugi::xml_node item = doc.document_element().first_child(); item; item = item.next_sibling()) {
    if (item.type() != pugi::node_element) continue;
    const std::string name = item.attribute("name").value();
    if (!IsBareFileName(name) || name == kScriptsIndexName ||
        std::find(names.begin(), names.end(), name) != names.end()) {
      LogWarning("CCustomSettings::CopyCustomScriptsFolder() - skipped the listed script '" + name + "'");
      continue;
    }
    const std::string from = source + "/" + name;
    if (!fs::is_regular_file(from, ec)) continue;  // listed but missing
    if (!fs::copy_file(from, destination + "/" + name, fs::copy_options::overwrite_existing, ec)) {
      LogError("CCustomSettings::CopyCustomScriptsFolder() - unable to copy '" + from + "'");
      continue;
    }
    names.push_back(name);
  }
  if (!fs::copy_file(index, destination + "/" + kScriptsIndexName, fs::copy_options::overwrite_existing, ec)) {
    LogError("CCustomSettings::CopyCustomScriptsFolder() - unable to copy '" + index + "'");
    return -5;
  }
  names.push_back(kScriptsIndexName);
  return 0;
}

int CCustomSettings::ExportSettingsArchive(const std::string& destination) {
  WorkingFolder work(OS::MakePrivateWorkingDir(kWorkingFolderPrefix), KeepWorkingFolder);
  if (work.path().empty()) return kExportNoWorkingFolder;

  std::vector<SettingsArchiveEntry> entries;
  const SettingsArchiveEntry workspace(SettingsEntryType::Workspace, kWorkspaceFileName);
  if (!OS::EnsureDir(SettingsEntryFolder(work.path(), workspace.type)) ||
      WriteWorkspaceXml(SettingsEntryPath(work.path(), workspace), SettingsRegistryPath()) < 0) {
    return kExportWorkspaceNotWritten;
  }
  entries.push_back(workspace);

  const SettingsArchiveEntry openViews(SettingsEntryType::OpenViews, kOpenViewsFileName);
  if (!OS::EnsureDir(SettingsEntryFolder(work.path(), openViews.type)) ||
      WriteOpenViewsXml(SettingsEntryPath(work.path(), openViews)) < 0) {
    return kExportEntryNotWritten;
  }
  entries.push_back(openViews);

  const std::string scripts = SettingsEntryFolder(work.path(), SettingsEntryType::CustomScripts);
  std::vector<std::string> names;
  if (OS::EnsureDir(scripts) && CopyCustomScriptsFolder(scripts, CustomScriptsFolder(), names) == 0) {
    for (auto& name : names) entries.emplace_back(SettingsEntryType::CustomScripts, std::move(name));
  }

  WriteOverviewXml(work / "Overview.xml", entries);

  if (const int rc = PackSettingsEntries(work.path(), entries, work / kPackFileName); rc != kSettingsOk) return rc;
  if (!CompressSettingsFile(work / kPackFileName, work / kCompressedFileName)) return kExportNotCompressed;
  if (!EncryptSettingsFile(work / kCompressedFileName, work / kEncryptedFileName)) return kExportNotEncrypted;
  if (!ReplaceFileFrom(work / kEncryptedFileName, destination)) {
    LogError("CCustomSettings::ExportSettingsArchive() - unable to write '" + destination + "'");
    return kExportDestinationNotWritten;
  }
  return kSettingsOk;
}

int CCustomSettings::ImportSettingsArchive(const std::string& archivePath, const std::function<bool()>& beforeChange) {
  WorkingFolder work(OS::MakePrivateWorkingDir(kWorkingFolderPrefix), KeepWorkingFolder);
  if (work.path().empty()) return kImportNoWorkingFolder;

  // Everything is taken apart and checked before anything is changed.
  const UnpackLimits limits;
  if (const int rc = DecryptSettingsFile(archivePath, work / kDecryptedFileName); rc != kSettingsOk) return rc;
  if (const int rc = DecompressSettingsFile(work / kDecryptedFileName, work / kUnpackedFileName, limits.maxTotalBytes);
      rc != kSettingsOk) {
    return rc;
  }
  std::vector<SettingsArchiveEntry> entries;
  {
    std::ifstream pack(work / kUnpackedFileName, std::ios::binary);
    if (const int rc = UnpackSettingsPack(pack, work.path(), entries, limits); rc != kSettingsOk) return rc;
  }
  const std::vector<StagedEntry> staged = StageEntries(work.path(), entries);
  if (staged.empty()) {
    LogWarning("CCustomSettings::ImportSettingsArchive() - '" + archivePath + "' holds no settings to restore");
    return kImportNoValidEntry;
  }
  if (beforeChange && !beforeChange()) return kImportDeclined;

  const std::string scriptsFolder = CustomScriptsFolder();
  std::vector<std::string> scripts;
  bool scriptsComplete = true;
  for (const auto& s : staged) {
    switch (s.entry.type) {
      case SettingsEntryType::Workspace:
        RestoreWorkspaceSections(OS::RegistryStore::User(), *s.workspace, SettingsRegistryPath());
        break;
      case SettingsEntryType::CustomScripts:
        if (CopyEntryInto(work.path(), s.entry, scriptsFolder)) {
          scripts.push_back(s.entry.name);
        } else {
          scriptsComplete = false;
        }
        break;
      case SettingsEntryType::OpenViews:
        CopyEntryInto(work.path(), s.entry, ProgramLocalFolder());
        break;
    }
  }
  // The old scripts go only once the archive's scripts and their index are
  // all in place.
  const bool indexCopied = std::find(scripts.begin(), scripts.end(), kScriptsIndexName) != scripts.end();
  if (scriptsComplete && indexCopied) RemoveStaleScripts(scriptsFolder, scripts);
  return kSettingsOk;
}

}  // namespace ORV
