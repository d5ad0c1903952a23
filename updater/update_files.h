#pragma once
// The two files that carry an update run's state in the working folder:
// UpdateList.xml (what to install) and InstallationStatus.xml (how far the
// downloads and the installation got). Both are written whole into a
// temporary file that then replaces the old one, so a crash leaves either
// the old or the new file.
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "updater/freshet_settings.h"

namespace ORV::Freshet {

inline constexpr const char* kUpdateListFile = "UpdateList.xml";
inline constexpr const char* kStatusFile = "InstallationStatus.xml";
inline constexpr const char* kDownloadFileAttribute = "DownloadFile";
inline constexpr const char* kInstallFileAttribute = "InstallFile";

// Writes "ArrayOfUpdates" with one "Updates" element per record.
bool WriteUpdateList(const std::string& path, const std::vector<FreshetUpdate>& updates);
// Writes "Status" with DownloadFile and InstallFile both 0.
bool WriteInitialStatus(const std::string& path);

bool LoadXmlFile(const std::string& path, pugi::xml_document& doc);
bool SaveXmlFile(const pugi::xml_document& doc, const std::string& path);

// A counter attribute of the status file's document element: false when the
// element or the attribute is missing or its value is not a whole number
// from 0 up.
bool ReadCounter(const pugi::xml_document& status, const char* attribute, int& value);

}  // namespace ORV::Freshet
