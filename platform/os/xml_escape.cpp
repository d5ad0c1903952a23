#include "platform/os/xml_escape.h"

namespace ORV::OS {

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const std::string_view entity = XmlEntity(c);
    if (entity.empty())
      out += c;
    else
      out += entity;
  }
  return out;
}

}  // namespace ORV::OS
