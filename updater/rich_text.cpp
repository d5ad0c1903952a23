#include "updater/rich_text.h"

namespace ORV::Freshet {

std::string UpdateHeaderRtf(std::string_view productName) {
  return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Calibri;}}\\pard\\qc\\f0\\fs22 There is an update to {\\b " +
         RtfEscape(productName) + "}\\par\\pard\\qc Do you want to update now ?\\par}";
}

}  // namespace ORV::Freshet
