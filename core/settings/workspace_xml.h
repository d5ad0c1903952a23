#pragma once
// "Workspace.xml": four sections of the application's registry key as XML.
//
//   <Workspace>
//     <RecentFileList> <Version> <Workspace> <BCGWorkspace>   (always all four)
//       <Child Name="subkey"> ... </Child>                    (subkeys first)
//       <Node Name="value" [ExcludeFromImport="true"] Type="string|int|binary"
//             [Encoding="base64"]>text</Node>                 (then values)
//
// Values of other types (expandable and multi-strings, 64-bit numbers) are
// written as a Node with only its name and are not restored. The import
// replaces each section as a whole.
#include <array>
#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/registry_store.h"

namespace ORV {

struct WorkspaceSection {
  const char* element;  // element name in Workspace.xml
  const char* subkey;   // subkey of the application's key
};

// The four sections in file order.
extern const std::array<WorkspaceSection, 4> kWorkspaceSections;

// Value names marked "ExcludeFromImport" (compared exactly, at every depth).
const std::vector<std::string>& WorkspaceExclusions();

// Limits of the export: a subkey name of at most 254 and a value name of at
// most 16382 UTF-16 units, value data of at most 10240 bytes in the
// registry's own measure. Larger ones are left out.
inline constexpr std::size_t kMaxSubkeyNameUnits = 254;
inline constexpr std::size_t kMaxValueNameUnits = 16382;
inline constexpr std::size_t kMaxValueDataBytes = 10240;
// Subkeys nested deeper than this below a section are left out on export
// and skipped on import.
inline constexpr int kMaxWorkspaceDepth = 64;

// "Software\Orvanta\Tarvix 5": the application's key below HKEY_CURRENT_USER.
std::string SettingsRegistryPath();

// Appends the "Child" and "Node" elements of the key at `keyPath` (a full
// store path) under `parent`, recursively. Always 0.
int RegistryToXml(pugi::xml_node parent, const OS::RegistryStore& store, const std::string& keyPath,
                  const std::vector<std::string>& exclusions);

// Replaces parentPath\subkeyName with what the element describes,
// recursively: 0, or -1 when the key can't be created or the name can't be a
// key name (empty, or containing "\"; nothing is deleted then).
int XmlToRegistry(OS::RegistryStore& store, const std::string& parentPath, std::string_view subkeyName,
                  pugi::xml_node element);

// Writes Workspace.xml for the application key `appKeyPath` (relative to
// HKEY_CURRENT_USER): 0, or -1 when an existing file can't be replaced or the
// file can't be saved.
int WriteWorkspaceXml(const OS::RegistryStore& store, const std::string& file, const std::string& appKeyPath);

// How Workspace.xml is parsed: pugixml's defaults, and whitespace-only text
// is kept where it is a Node's whole text, so a string value of spaces comes
// back as it was.
inline constexpr unsigned kWorkspaceParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// Loads Workspace.xml; false when it does not parse or has no root element.
bool LoadWorkspaceXml(const std::string& file, pugi::xml_document& doc);

// Replaces the four sections below the application key from a loaded
// Workspace.xml, in one write of the store. False when the application key
// can't be created (nothing is restored then) or the store can't be written.
bool RestoreWorkspaceSections(OS::RegistryStore& store, const pugi::xml_document& doc, const std::string& appKeyPath);

}  // namespace ORV
