#include "platform/os/text.h"

#include <gtest/gtest.h>

#include "platform/os/xml_escape.h"

namespace ORV::OS {
namespace {

TEST(Text, RoundTripsAndReplacesInvalidInput) {
  const std::string mu = "\xC2\xB5m";  // "µm"
  EXPECT_EQ(Utf8ToUtf16(mu), u"\u00B5m");
  EXPECT_EQ(Utf16ToUtf8(u"\u00B5m"), mu);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToUtf16("\xFF"
                        "a"),
            u"\uFFFDa");
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");  // truncated sequence
  const std::string clef = "\xF0\x9D\x84\x9E";          // U+1D11E, a surrogate pair
  EXPECT_EQ(Utf16Length(clef), 2u);
  EXPECT_EQ(CutToUtf16Units("a" + clef, 2), "a");
  EXPECT_EQ(CutToUtf16Units("a" + clef, 3), "a" + clef);
}

TEST(Text, CaseInsensitiveCompare) {
  EXPECT_TRUE(EqualsNoCase("Settings", "SETTINGS"));
  EXPECT_LT(CompareNoCase("apple", "Banana"), 0);
  EXPECT_EQ(ToLowerAscii("AbC\xC3\x84"), "abc\xC3\x84");
}

TEST(Text, XmlEscapeWritesTheFiveReservedCharactersAsEntities) {
  const struct {
    const char* name;
    std::string text;
    std::string escaped;
  } cases[] = {
      {"plain text passes", "abc 123", "abc 123"},
      {"empty", "", ""},
      {"each reserved character", "&<>\"'", "&amp;&lt;&gt;&quot;&apos;"},
      {"an entity is escaped again", "&amp;", "&amp;amp;"},
      {"UTF-8 and control bytes pass", "\xC2\xB5\t\n", "\xC2\xB5\t\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(XmlEscape(c.text), c.escaped) << c.name;
  EXPECT_EQ(XmlEntity('a'), "");
  EXPECT_EQ(XmlEntity('\''), "&apos;");
}

}  // namespace
}  // namespace ORV::OS
