#pragma once
// Export and import of the user's settings as one settings archive.
//
// The export collects the four registry sections ("Workspace.xml"), the open
// windows ("Tarvix.xml") and the custom-trace scripts with their index
// "Scripts.xml" into a private working folder and writes the archive. The
// import takes an archive apart in a working folder of its own and, only when
// that fully succeeded, replaces the sections, the scripts and Tarvix.xml.
// Both run on the caller's thread and report 0 or a negative code
// (core/settings/settings_archive.h); neither throws.
#include <functional>
#include <string>
#include <vector>

#include "core/experiment/trace_window_host.h"
#include "core/settings/settings_archive.h"

namespace ORV {

class CCustomSettings {
 public:
  // `views` gives the open windows to the export and reopens them at
  // start-up; without it the export records no open window and start-up
  // reopens nothing.
  explicit CCustomSettings(TraceWindowHost* views = nullptr) : views_(views) {}
  virtual ~CCustomSettings() = default;

  // Leaves the working folder of an export or import in place (inspection).
  bool KeepWorkingFolder = false;

  // 0, or kExportNoWorkingFolder, kExportWorkspaceNotWritten,
  // kExportEntryNotWritten, kExportPackNotWritten, kExportNotCompressed,
  // kExportNotEncrypted, kExportDestinationNotWritten. The destination is
  // written only when every step succeeded, and then replaced at once.
  int ExportSettingsArchive(const std::string& destination);

  // 0 when the archive was applied (the caller then restarts the program),
  // or kImportNoWorkingFolder, kImportUnreadable, kImportNotDecompressed,
  // kImportNoValidEntry; on a negative result nothing was changed.
  // `beforeChange`, when given, is asked once the archive is known to be
  // sound and before anything is replaced; false gives kImportDeclined.
  int ImportSettingsArchive(const std::string& archivePath, const std::function<bool()>& beforeChange = {});

  // Copies the scripts that source/"Scripts.xml" lists (those that exist, in
  // index order) and the index itself into `destination`, and lists their
  // names. 0, or -1 source not a folder, -2 destination not a folder, -3 no
  // "Scripts.xml", -4 "Scripts.xml" does not parse, -5 "Scripts.xml" can't
  // be copied. A listed name that is not a plain file name, or repeats an
  // earlier one, is skipped and logged.
  int CopyCustomScriptsFolder(const std::string& destination, const std::string& source,
                              std::vector<std::string>& names);

  // Workspace.xml of the application key `appKeyPath` in the user's store.
  int WriteWorkspaceXml(const std::string& file, const std::string& appKeyPath);
  // Tarvix.xml from the open windows: 0 or -1.
  int WriteOpenViewsXml(const std::string& path);
  // Reopens the windows that the program's Tarvix.xml records, once.
  void ReadOpenViewsXml();

  // "<data folder>/Orvanta/Tarvix 5" and its "Custom Scripts" folder.
  static std::string ProgramLocalFolder();
  static std::string CustomScriptsFolder();

 private:
  TraceWindowHost* views_;
};

}  // namespace ORV
