#include "platform/ui/icons.h"

#include <string>

#include "platform/ui/resources.h"

namespace ORV::UI {

QByteArray LoadIconResource(int id) {
  const auto data = FindResource("icons/" + std::to_string(id) + ".svg");
  if (!data) return {};
  return QByteArray(data->data(), static_cast<qsizetype>(data->size()));
}

}  // namespace ORV::UI
