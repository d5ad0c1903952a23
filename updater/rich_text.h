#pragma once
// The formatted header of the "update available" question. The services's
// descriptions, RTF too, go through the same converter (core/base/rich_text.h).
#include <string>
#include <string_view>

#include "core/base/rich_text.h"

namespace ORV::Freshet {

using ORV::RtfEscape;
using ORV::RtfToHtml;

// The question's header, with the product name put in bold:
// "There is an update to <name>" and "Do you want to update now ?", centred.
std::string UpdateHeaderRtf(std::string_view productName);

}  // namespace ORV::Freshet
