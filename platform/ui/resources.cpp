#include "platform/ui/resources.h"

namespace ORV::UI {

std::optional<std::string_view> FindResource(std::string_view name) {
  for (std::size_t i = 0; i < detail::kEmbeddedResourceCount; ++i) {
    const detail::EmbeddedResource& r = detail::kEmbeddedResources[i];
    if (name == r.name) return std::string_view(reinterpret_cast<const char*>(r.data), r.size);
  }
  return std::nullopt;
}

}  // namespace ORV::UI
