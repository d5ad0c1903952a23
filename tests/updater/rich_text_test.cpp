// The formatted header of the "update available" question.
#include "updater/rich_text.h"

#include <gtest/gtest.h>

#include <string>

namespace ORV::Test {
namespace {

using Freshet::RtfToHtml;

TEST(RichText, HeaderPutsTheEscapedProductNameInBold) {
  EXPECT_EQ(RtfToHtml(Freshet::UpdateHeaderRtf("Tarvix {5} \\ <x>")),
            "<p align=\"center\">There is an update to <b>Tarvix {5} \\ &lt;x&gt;</b></p>"
            "<p align=\"center\">Do you want to update now ?</p>");
}

}  // namespace
}  // namespace ORV::Test
