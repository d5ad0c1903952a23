#pragma once
// Files of the resources/ folder built into the library (the string table,
// the icons), found by their path below resources/: "icons/apply.svg".
#include <cstddef>
#include <optional>
#include <string_view>

namespace ORV::UI {

// The bytes of an embedded resource; nothing when there is none by that name.
std::optional<std::string_view> FindResource(std::string_view name);

namespace detail {
// Filled by the file that the build generates from resources/.
struct EmbeddedResource {
  const char* name;
  const unsigned char* data;
  std::size_t size;
};
extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;
}  // namespace detail

}  // namespace ORV::UI
