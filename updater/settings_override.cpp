#include "updater/settings_override.h"

#include <cstdio>
#include <pugixml.hpp>

#include "platform/os/folders.h"
#include "updater/update_files.h"

namespace ORV::Freshet {

namespace {

// The document element "Freshet" of the file, or an empty node.
pugi::xml_node LoadOverride(const std::string& path, pugi::xml_document& doc) {
  if (!LoadXmlFile(path.empty() ? DefaultSettingsOverridePath() : path, doc)) return {};
  const pugi::xml_node root = doc.document_element();
  return std::string_view(root.name()) == "Freshet" ? root : pugi::xml_node();
}

}  // namespace

std::string DefaultSettingsOverridePath() { return OS::MakerConfigDir() + "/Freshet/SettingsOverride.xml"; }

std::string ReadOverridePublicKey(const std::string& path) {
  pugi::xml_document doc;
  return LoadOverride(path, doc).child("Server").child("PublicKey").text().as_string();
}

bool ReadSettingsOverride(FreshetSettings& settings, const std::string& path) {
  if (settings.productId.empty()) return false;
  pugi::xml_document doc;
  const pugi::xml_node root = LoadOverride(path, doc);
  if (!root) return false;

  const std::string serverUrl = root.child("Server").child("Url").text().as_string();
  if (!serverUrl.empty()) settings.serverUrl = serverUrl;
  const std::string publicKey = root.child("Server").child("PublicKey").text().as_string();
  if (!publicKey.empty()) settings.updateKey = publicKey;

  for (const pugi::xml_node product : root.children("Product")) {
    if (settings.productId != product.attribute("id").as_string()) continue;
    const pugi::xml_node over = product.child("Override");
    const std::string id = over.child("Id").text().as_string();
    const std::string url = over.child("Url").text().as_string();
    const std::string extra = over.child("Extra").text().as_string();
    if (!id.empty()) {
      if (IsValidProductId(id)) {
        settings.productId = id;
      } else {
        std::fprintf(stderr,
                     "Freshet: SettingsOverride.xml: the product id \"%s\" is refused: it is not a plain name\n",
                     id.c_str());
      }
    }
    if (!url.empty()) settings.serverUrl = url;
    if (!extra.empty()) settings.extra = extra;
    break;
  }
  return true;
}

}  // namespace ORV::Freshet
