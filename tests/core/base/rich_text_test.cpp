// The RTF subset of the formatted texts turned into HTML.
#include "core/base/rich_text.h"

#include <gtest/gtest.h>

#include <string>

namespace ORV::Test {
namespace {

TEST(RichText, RtfSubsetBecomesHtml) {
  struct Case {
    const char* rtf;
    const char* html;
  };
  const Case cases[] = {
      {"{\\rtf1 plain}", "<p>plain</p>"},
      {"{\\rtf1 a\\par b}", "<p>a</p><p>b</p>"},
      {"{\\rtf1 x {\\b bold} \\i it\\i0  y}", "<p>x <b>bold</b> <i>it</i> y</p>"},
      {"{\\rtf1 \\ul u\\ulnone  v}", "<p><u>u</u> v</p>"},
      {"{\\rtf1{\\fonttbl{\\f0 Calibri;}}{\\colortbl;\\red0;}{\\*\\generator Pad;}text}", "<p>text</p>"},
      {"{\\rtf1 \\'e6\\'80 \\u8364? \\uc2\\u-4064xx!}", "<p>\xC3\xA6\xE2\x82\xAC \xE2\x82\xAC \xEF\x80\xA0!</p>"},
      {"{\\rtf1 \\{ \\\\ \\} <&>}", "<p>{ \\ } &lt;&amp;&gt;</p>"},
      {"{\\rtf1\\qc centred\\par\\pard left}", "<p align=\"center\">centred</p><p>left</p>"},
      {"plain <text>\nline", "<p>plain &lt;text&gt;<br>line</p>"},
      {"{\\rtf1 unclosed {\\b group", "<p>unclosed <b>group</b></p>"},
      {"{\\rtf1 trailing \\", "<p>trailing </p>"},
      {"{\\rtf1\\fs22 body {\\fs32 head} {\\fs26 sub} {\\fs16 fine} \\fs23 same}",
       "<p>body <span style=\"font-size:x-large\">head</span> <span style=\"font-size:large\">sub</span> "
       "<span style=\"font-size:small\">fine</span> same</p>"},
      {"{\\rtf1{\\pntext\\bullet\\tab}item}", "<p>\xE2\x80\xA2 item</p>"},
  };
  for (const Case& c : cases) EXPECT_EQ(RtfToHtml(c.rtf), c.html) << c.rtf;
}

TEST(RichText, DeepNestingStaysBounded) {
  const std::string deep = "{\\rtf1 " + std::string(100000, '{') + "\\b x" + std::string(100000, '}') + " y}";
  EXPECT_EQ(RtfToHtml(deep), "<p><b>x</b> y</p>");
}

}  // namespace
}  // namespace ORV::Test
