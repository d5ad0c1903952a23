#include "core/base/app_registry.h"

namespace ORV {

AppRegistry::AppRegistry(OS::RegistryStore& store, std::string root) : store_(store), root_(std::move(root)) {}

void AppRegistry::SetBase(std::string_view section) { base_ = std::string(section); }

std::string AppRegistry::KeyPath() const { return base_.empty() ? root_ : root_ + "\\" + base_; }

int AppRegistry::GetInt(std::string_view name, int def) const {
  return static_cast<int>(store_.GetDword(KeyPath(), name, static_cast<std::uint32_t>(def)));
}

std::string AppRegistry::GetString(std::string_view name, std::string_view def) const {
  return store_.GetString(KeyPath(), name, def);
}

bool AppRegistry::WriteInt(std::string_view name, int value) {
  return store_.SetValue(KeyPath(), name, OS::RegValue::MakeDword(static_cast<std::uint32_t>(value)));
}

bool AppRegistry::WriteString(std::string_view name, std::string_view value) {
  return store_.SetValue(KeyPath(), name, OS::RegValue::MakeString(std::string(value)));
}

}  // namespace ORV
