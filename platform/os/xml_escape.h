#pragma once
// The characters markup reserves, written as entities: one table for every
// writer of XML or HTML text in the program.
#include <string>
#include <string_view>

namespace ORV::OS {

// The entity that stands for one of the five characters markup reserves
// (& < > " '); empty for any other character.
constexpr std::string_view XmlEntity(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    default:
      return {};
  }
}
// `text` with the five reserved characters written as their entities, fit
// for element text and for attribute values in either kind of quotes.
std::string XmlEscape(std::string_view text);

}  // namespace ORV::OS
