#include "platform/ui/icons.h"

#include <string_view>
#include <utility>

#include "platform/ui/resources.h"

namespace ORV::UI {

namespace {

constexpr std::pair<int, std::string_view> kIconFiles[] = {
    {kIconApply, "icons/apply.svg"},
    {kIconMenu, "icons/menu.svg"},
    {kIconRotateLeft, "icons/rotate_left.svg"},
    {kIconRotateRight, "icons/rotate_right.svg"},
    {kIconSettings, "icons/settings.svg"},
};

}  // namespace

QByteArray LoadIconResource(int id) {
  for (const auto& [iconId, path] : kIconFiles) {
    if (iconId != id) continue;
    const auto data = FindResource(path);
    if (!data) return {};
    return QByteArray(data->data(), static_cast<qsizetype>(data->size()));
  }
  return {};
}

}  // namespace ORV::UI
