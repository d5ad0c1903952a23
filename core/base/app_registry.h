#pragma once
// The application's registry functions: a current section (the "registry
// base") below the product's root key, and integer and text values read with
// defaults and written by name in that section.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os/registry_store.h"

namespace ORV {

// HKEY_CURRENT_USER\Software\Orvanta\Tarvix 5
inline constexpr const char* kProductRegistryRoot = "HKEY_CURRENT_USER\\Software\\Orvanta\\Tarvix 5";

class AppRegistry {
 public:
  explicit AppRegistry(OS::RegistryStore& store, std::string root = kProductRegistryRoot);

  // The section below the root that the accessors use ("Settings", "Version\5").
  void SetBase(std::string_view section);
  const std::string& Base() const { return base_; }
  // Root plus section.
  std::string KeyPath() const;

  // A missing value, or one of another type, gives the default.
  int GetInt(std::string_view name, int def) const;
  std::string GetString(std::string_view name, std::string_view def) const;
  bool WriteInt(std::string_view name, int value);
  bool WriteString(std::string_view name, std::string_view value);

  OS::RegistryStore& Store() { return store_; }
  const std::string& Root() const { return root_; }

  // Restores the section in force when it was made.
  class BaseGuard {
   public:
    explicit BaseGuard(AppRegistry& r) : r_(r), saved_(r.Base()) {}
    ~BaseGuard() { r_.SetBase(saved_); }
    BaseGuard(const BaseGuard&) = delete;
    BaseGuard& operator=(const BaseGuard&) = delete;

   private:
    AppRegistry& r_;
    std::string saved_;
  };

 private:
  OS::RegistryStore& store_;
  std::string root_;
  std::string base_;
};

}  // namespace ORV
