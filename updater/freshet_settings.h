#pragma once
// The update library's settings, the records of the updates the update
// service offers, and the per-product working folder in which downloads and
// the hand-off to the installer program take place.
//
// Texts are UTF-8. The working folder is a private folder (mode 0700, owned
// by the user) under the product's state folder:
//   $XDG_STATE_HOME/Orvanta/Tarvix 5/Updates/<product id>
// It holds the whole persistent state of an update run; an install counts as
// pending while it exists and is not empty.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Freshet {

struct FreshetUpdateFile {
  std::string url;
  std::string localName;
  bool operator==(const FreshetUpdateFile&) const = default;
};

// One update offered by the service (also read back from UpdateList.xml).
struct FreshetUpdate {
  std::string productId;
  std::string productName;
  std::string windowsInstallerId;
  std::string description;  // base64 text as received
  std::string date;
  std::int32_t major = 0;
  std::int32_t minor = 0;
  std::int32_t revision = 0;
  std::int32_t build = 0;
  std::vector<FreshetUpdateFile> files;  // in the order received
  bool operator==(const FreshetUpdate&) const = default;
};

struct FreshetSettings {
  std::string serverUrl;  // empty: the built-in service URL
  // A public key (PEM) trusted besides the installed one, for a test
  // service's packages; empty for none.
  std::string updateKey;
  std::string productId;
  std::string extra;
  std::string updateType;  // "M" a check the user asked for, "A" the automatic check
  std::int32_t uiLevel = 0;
  std::vector<FreshetUpdate> updates;
  FreshetUpdate ownProduct;  // the service's record of this product, once a check found it
};

// The process-wide settings record.
FreshetSettings& ProcessSettings();

// A product id is used as a folder name: it must not be empty, ".", or hold
// "/", ".." or a NUL.
bool IsValidProductId(std::string_view productId);

// The product's working folder; empty when the product id is empty or not valid.
std::string InstallationFolder(const FreshetSettings& settings);

// True when `path` is a real folder (not a symbolic link) owned by the user
// that no one else may enter.
bool IsPrivateFolder(const std::string& path);

// True when `path` is a real folder (not a symbolic link) with something in it.
bool IsNonEmptyFolder(const std::string& path);

// An install is pending: the working folder exists and is not empty.
bool IsInstallPending(const FreshetSettings& settings);

}  // namespace ORV::Freshet
