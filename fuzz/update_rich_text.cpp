// An update description may hold any bytes: the converter must end, in time
// linear in its input, with every bold, italic, underline and paragraph tag
// it opens closed again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "updater/rich_text.h"

namespace {
std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string asRtf = "{\\rtf1 " + input;
  for (const std::string& text : {input, asRtf}) {
    const std::string html = ORV::Freshet::RtfToHtml(text);
    if (html.size() > 32 * text.size() + 64) std::abort();
    for (const char* tag : {"b>", "i>", "u>", "p"}) {
      if (Count(html, std::string("<") + tag) != Count(html, std::string("</") + tag)) std::abort();
    }
  }
  return 0;
}
