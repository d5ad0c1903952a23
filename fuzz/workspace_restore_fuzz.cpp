// Workspace.xml text -> registry sections, and back to XML.
#include <cstddef>
#include <cstdint>
#include <pugixml.hpp>

#include "core/settings/workspace_xml.h"
#include "platform/os/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pugi::xml_document doc;
  if (!doc.load_buffer(data, size, ORV::kWorkspaceParseOptions) || !doc.document_element()) return 0;
  ORV::OS::RegistryStore store;  // in memory
  store.SetValue("HKEY_CURRENT_USER\\Software\\Orvanta\\Tarvix 5\\Settings", "Port",
                 ORV::OS::RegValue::MakeString("/dev/ttyUSB0"));
  ORV::RestoreWorkspaceSections(store, doc, ORV::SettingsRegistryPath());

  pugi::xml_document out;
  pugi::xml_node root = out.append_child("Workspace");
  for (const auto& section : ORV::kWorkspaceSections) {
    ORV::RegistryToXml(root.append_child(section.element), store,
                       "HKEY_CURRENT_USER\\Software\\Orvanta\\Tarvix 5\\" + std::string(section.subkey),
                       ORV::WorkspaceExclusions());
  }
  return 0;
}
