#include "core/settings/workspace_xml.h"

#include <botan/base64.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <limits>

#include "core/base/event_log.h"
#include "platform/os/folders.h"
#include "platform/os/number_text.h"
#include "platform/os/text.h"

namespace ORV {

namespace {

using OS::RegType;
using OS::RegValue;

std::string StorePath(const std::string& appKeyPath) { return std::string(OS::kCurrentUser) + "\\" + appKeyPath; }

// The size the registry gives the value's data (strings as UTF-16 with
// their terminating null).
std::uint64_t RegistryDataSize(const RegValue& v) {
  switch (v.type) {
    case RegType::String:
    case RegType::ExpandString:
      return (OS::Utf16Length(v.text) + 1) * 2;
    case RegType::MultiString: {
      std::uint64_t size = 2;
      for (const auto& s : v.texts) size += (OS::Utf16Length(s) + 1) * 2;
      return size;
    }
    case RegType::Dword:
      return 4;
    case RegType::Qword:
      return 8;
    case RegType::Binary:
      return v.bytes.size();
  }
  return std::numeric_limits<std::uint64_t>::max();
}

void AppendNode(pugi::xml_node parent, const std::string& name, const RegValue& v,
                const std::vector<std::string>& exclusions) {
  pugi::xml_node node = parent.append_child("Node");
  node.append_attribute("Name").set_value(name.c_str());
  if (std::find(exclusions.begin(), exclusions.end(), name) != exclusions.end()) {
    node.append_attribute("ExcludeFromImport").set_value("true");
  }
  switch (v.type) {
    case RegType::String: {
      node.append_attribute("Type").set_value("string");
      const std::string text = v.text.substr(0, v.text.find('\0'));
      if (!text.empty()) node.text().set(text.c_str());
      break;
    }
    case RegType::Dword:
      node.append_attribute("Type").set_value("int");
      node.text().set(std::to_string(static_cast<std::uint32_t>(v.number)).c_str());
      break;
    case RegType::Binary: {
      node.append_attribute("Type").set_value("binary");
      node.append_attribute("Encoding").set_value("base64");
      const std::string text = Botan::base64_encode(v.bytes.data(), v.bytes.size());
      if (!text.empty()) node.text().set(text.c_str());
      break;
    }
    default:
      break;  // carried by name only
  }
}

void KeyToXml(pugi::xml_node parent, const OS::RegistryStore& store, const std::string& keyPath,
              const std::vector<std::string>& exclusions, int depth) {
  for (const auto& name : store.SubKeyNames(keyPath)) {
    if (OS::Utf16Length(name) > kMaxSubkeyNameUnits || depth >= kMaxWorkspaceDepth) continue;
    const std::string path = keyPath + "\\" + name;
    if (!store.KeyExists(path)) continue;  // deleted meanwhile
    pugi::xml_node child = parent.append_child("Child");
    child.append_attribute("Name").set_value(name.c_str());
    KeyToXml(child, store, path, exclusions, depth + 1);
  }
  for (const auto& name : store.ValueNames(keyPath)) {
    if (OS::Utf16Length(name) > kMaxValueNameUnits) continue;
    const auto value = store.GetValue(keyPath, name);
    if (!value || RegistryDataSize(*value) > kMaxValueDataBytes) continue;
    AppendNode(parent, name, *value, exclusions);
  }
}

// The registry's reading of an "int" text: a decimal number in the signed
// or the unsigned 32-bit range, kept as its low 32 bits. Anything else is 0.
std::uint32_t ParseDwordText(std::string_view text) {
  const long long v = OS::LeadingInt(text);
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::uint32_t>::max()) return 0;
  return static_cast<std::uint32_t>(v);
}

bool IsKeyName(std::string_view name) { return !name.empty() && name.find('\\') == std::string_view::npos; }

void LogSkipped(std::string_view what, std::string_view path) {
  LogWarning("CCustomSettings::XmlToRegistry() - " + std::string(what) + " in '" + std::string(path) + "'");
}

int RestoreKey(OS::RegistryStore& store, const std::string& parentPath, std::string_view subkeyName,
               pugi::xml_node element, int depth) {
  if (!IsKeyName(subkeyName)) return -1;
  const std::string path = parentPath + "\\" + std::string(subkeyName);
  store.DeleteTree(path);
  if (!store.CreateKey(path)) return -1;

  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view tag = child.name();
    if (tag == "Child") {
      const std::string_view name = child.attribute("Name").value();
      if (!IsKeyName(name)) {
        // A nameless Child would address this very key and wipe it.
        LogSkipped("skipped a subkey without a usable name", path);
      } else if (depth + 1 > kMaxWorkspaceDepth) {
        LogSkipped("skipped subkeys nested too deeply", path);
      } else {
        RestoreKey(store, path, name, child, depth + 1);
      }
    } else if (tag == "Node") {
      if (child.attribute("ExcludeFromImport").as_bool()) continue;
      const std::string name = child.attribute("Name").value();
      const std::string_view type = child.attribute("Type").value();
      if (type == "string") {
        store.SetValue(path, name, RegValue::MakeString(child.text().get()));
      } else if (type == "int") {
        store.SetValue(path, name, RegValue::MakeDword(ParseDwordText(child.first_child().value())));
      } else if (type == "binary") {
        try {
          const auto bytes = Botan::base64_decode(std::string(child.text().get()), true);
          store.SetValue(path, name, RegValue::MakeBinary(std::vector<std::uint8_t>(bytes.begin(), bytes.end())));
        } catch (const std::exception&) {
          LogSkipped("skipped the value '" + name + "' whose data is not base64", path);
        }
      }
    }
  }
  return 0;
}

}  // namespace

const std::array<WorkspaceSection, 4> kWorkspaceSections = {{
    {"RecentFileList", "Recent File List"},
    {"Version", "Version"},
    {"Workspace", "Workspace"},
    {"BCGWorkspace", "BCGWorkspace"},
}};

const std::vector<std::string>& WorkspaceExclusions() {
  static const std::vector<std::string> names = {"BackupBufferDir", "Debug", "RunningBackupDirectory", "AutoBackup",
                                                 "MinimumGBFree"};
  return names;
}

std::string SettingsRegistryPath() { return "Software\\Orvanta\\Tarvix 5"; }

int RegistryToXml(pugi::xml_node parent, const OS::RegistryStore& store, const std::string& keyPath,
                  const std::vector<std::string>& exclusions) {
  KeyToXml(parent, store, keyPath, exclusions, 0);
  return 0;
}

int XmlToRegistry(OS::RegistryStore& store, const std::string& parentPath, std::string_view subkeyName,
                  pugi::xml_node element) {
  return RestoreKey(store, parentPath, subkeyName, element, 0);
}

int WriteWorkspaceXml(const OS::RegistryStore& store, const std::string& file, const std::string& appKeyPath) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
  if (ec || OS::PathExists(file)) return -1;

  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("Workspace");
  const std::string appPath = StorePath(appKeyPath);
  for (const auto& section : kWorkspaceSections) {
    pugi::xml_node element = root.append_child(section.element);
    const std::string path = appPath + "\\" + section.subkey;
    if (store.KeyExists(path)) RegistryToXml(element, store, path, WorkspaceExclusions());
  }
  return doc.save_file(file.c_str(), "\t") ? 0 : -1;
}

bool LoadWorkspaceXml(const std::string& file, pugi::xml_document& doc) {
  const auto result = doc.load_file(file.c_str(), kWorkspaceParseOptions);
  return result && doc.document_element();
}

bool RestoreWorkspaceSections(OS::RegistryStore& store, const pugi::xml_document& doc, const std::string& appKeyPath) {
  const pugi::xml_node root = doc.document_element();
  if (!root) return false;
  const std::string appPath = StorePath(appKeyPath);
  OS::RegistryStore::Batch batch(store);
  if (!store.CreateKey(appPath)) return false;
  for (const auto& section : kWorkspaceSections) {
    if (XmlToRegistry(store, appPath, section.subkey, root.child(section.element)) != 0) {
      LogError(std::string("CCustomSettings::ImportSettingsArchive() - unable to restore the section '") +
               section.subkey + "'");
    }
  }
  if (!store.Flush()) {
    LogError("CCustomSettings::ImportSettingsArchive() - unable to store the restored settings in '" + store.File() +
             "'");
    return false;
  }
  return true;
}

}  // namespace ORV
