#include "xlsx/xml_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "platform/os/folders.h"
#include "tests/support/test_support.h"
#include "tests/xlsx/writer/xlsx_test_util.h"

namespace Xlsx {
namespace {

using XlsxTest::kDeclaration;
using XlsxTest::ReadFile;

// Writes one part through `write`, lets the writer's destructor finish it and
// returns everything after the declaration line.
std::string Written(const std::function<void(XmlWriter&)>& write) {
  ORV::Test::TempDir dir;
  const std::string path = dir / "part.xml";
  {
    XmlWriter w(path);
    EXPECT_TRUE(w.IsOpen());
    write(w);
  }
  XlsxTest::ExpectWellFormed(path);
  const std::string text = ReadFile(path);
  const std::string declaration = kDeclaration;
  EXPECT_EQ(text.substr(0, declaration.size()), declaration);
  return text.substr(std::min(declaration.size(), text.size()));
}

TEST(XmlWriter, WritesElementsExactly) {
  struct Case {
    const char* name;
    std::function<void(XmlWriter&)> write;
    std::string expected;
  };
  const Case cases[] = {
      {"empty element",
       [](XmlWriter& w) {
         w.Tag("a");
         w.End();
       },
       "<a/>"},
      {"attribute",
       [](XmlWriter& w) {
         w.Tag("a");
         w.Attr("x", 1);
         w.End();
       },
       "<a x=\"1\"/>"},
      {"nested",
       [](XmlWriter& w) {
         w.Tag("a");
         w.Tag("b");
         w.End();
         w.End();
       },
       "<a><b/></a>"},
      {"content child",
       [](XmlWriter& w) {
         w.Tag("a");
         w.TagOnlyContent("v", std::uint64_t{5});
         w.End();
       },
       "<a><v>5</v></a>"},
      {"leaf",
       [](XmlWriter& w) {
         w.Tag("a");
         w.BeginLeaf("b");
         w.Attr("y", 2);
         w.EndLeaf();
         w.End();
       },
       "<a><b y=\"2\"/></a>"},
      {"attributes after children are closed",
       [](XmlWriter& w) {
         w.Tag("a");
         w.Attr("k", "v");
         w.Tag("b");
         w.Attr("n", 1);
         w.End();
         w.TagOnlyContentRaw("c", "raw");
         w.End();
       },
       "<a k=\"v\"><b n=\"1\"/><c>raw</c></a>"},
      {"text content",
       [](XmlWriter& w) {
         w.Tag("a");
         w.Content("x<y");
         w.End();
       },
       "<a>x&lt;y</a>"},
      {"empty text content closes with an end tag",
       [](XmlWriter& w) {
         w.Tag("a");
         w.Content("");
         w.End();
       },
       "<a></a>"},
      {"integer attributes",
       [](XmlWriter& w) {
         w.Tag("a");
         w.Attr("i", std::int32_t{-7});
         w.Attr("u", std::uint32_t{4000000000u});
         w.Attr("w", std::numeric_limits<std::uint64_t>::max());
         w.AttrRaw("r", "fixed");
         w.End();
       },
       "<a i=\"-7\" u=\"4000000000\" w=\"18446744073709551615\" r=\"fixed\"/>"},
      {"destructor closes what is open, innermost first",
       [](XmlWriter& w) {
         w.Tag("a");
         w.Tag("b");
         w.Attr("x", 1);
         w.TagOnlyContent("t", "z");
         w.Tag("c");
       },
       "<a><b x=\"1\"><t>z</t><c/></b></a>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Written(c.write), c.expected) << c.name;
}

TEST(XmlWriter, EscapesMarkupAndPassesUtf8) {
  const std::string clef = "\xF0\x9D\x84\x9E";  // U+1D11E, four bytes
  const std::string text = "a<b & 'c' \"d\" > \xC2\xB5" + clef;
  const std::string escaped = "a&lt;b &amp; &apos;c&apos; &quot;d&quot; &gt; \xC2\xB5" + clef;
  EXPECT_EQ(Written([&](XmlWriter& w) {
              w.Tag("a");
              w.Attr("t", text);
              w.TagOnlyContent("v", text);
              w.End();
            }),
            "<a t=\"" + escaped + "\"><v>" + escaped + "</v></a>");
}

TEST(XmlWriter, TextThatXmlCannotHoldIsMadeSafe) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    const char* name;
    std::string text;
    std::string inAttribute;
    std::string inContent;
  };
  const Case cases[] = {
      {"control character", "a\x01z", "az", "a_x0001_z"},
      {"NUL", std::string("a\0z", 3), "az", "a_x0000_z"},
      {"escape character and unit separator", "\x1B\x1F", "", "_x001B__x001F_"},
      {"tab, line feed and carriage return stay", "t\tn\nr\r", "t\tn\nr\r", "t\tn\nr\r"},
      {"stray continuation byte", "a\x80z", "a" + fffd + "z", "a" + fffd + "z"},
      {"invalid lead byte", "\xFF", fffd, fffd},
      {"truncated sequence", "\xE2\x82", fffd + fffd, fffd + fffd},
      {"overlong form", "\xC0\x80", fffd + fffd, fffd + fffd},
      {"encoded surrogate", "\xED\xA0\x80", fffd + fffd + fffd, fffd + fffd + fffd},
      {"noncharacter U+FFFE", "\xEF\xBF\xBE", fffd, fffd},
      {"above U+10FFFF", "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd, fffd + fffd + fffd + fffd},
      {"literal escape sequence keeps its meaning", "_x0041_", "_x0041_", "_x005F_x0041_"},
      {"underscore that starts no escape", "_x00_ a_b _xZZZZ_", "_x00_ a_b _xZZZZ_", "_x00_ a_b _xZZZZ_"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Written([&](XmlWriter& w) {
                w.Tag("a");
                w.Attr("t", c.text);
                w.TagOnlyContent("v", c.text);
                w.Content(c.text);
                w.End();
              }),
              "<a t=\"" + c.inAttribute + "\"><v>" + c.inContent + "</v>" + c.inContent + "</a>")
        << c.name;
  }
}

TEST(XmlWriter, FormatsNumbersLikeTheCLocale) {
  const struct {
    double value;
    const char* text;
  } doubles[] = {
      {0.25, "0.25"},
      {15.0, "15"},
      {1e20, "1e+20"},
      {1.0 / 3.0, "0.3333333333333333"},
      {-2.5, "-2.5"},
      {1e-7, "1e-07"},
      {0.0, "0"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
      {std::nan(""), "NaN"},
  };
  ORV::Test::CommaLocale comma;  // the user's decimal comma must not show
  for (const auto& d : doubles) EXPECT_EQ(FormatDouble(d.value), d.text) << d.text;
  EXPECT_EQ(Written([](XmlWriter& w) {
              w.Tag("a");
              w.Attr("d", 1234567.5);
              w.Attr("f", 0.1f);
              w.End();
            }),
            "<a d=\"1234567.5\" f=\"0.1000000014901161\"/>");
}

TEST(XmlWriter, ReportsFilesThatCannotBeWritten) {
  ORV::Test::TempDir dir;
  const std::string missing = dir / "no-such-folder/part.xml";
  {
    XmlWriter w(missing);
    EXPECT_FALSE(w.IsOpen());
    w.Tag("a");
    w.Attr("x", 1);
    w.End();
    EXPECT_FALSE(w.Close());
  }
  EXPECT_FALSE(ORV::OS::PathExists(missing));
  EXPECT_FALSE(XmlWriter("").Close());

  // A full disk: a part that fits the buffer fails when it is closed, a large
  // one while it is written.
  for (std::size_t bytes : {std::size_t{10}, std::size_t{300000}}) {
    XmlWriter w("/dev/full");
    ASSERT_TRUE(w.IsOpen());
    w.Tag("a");
    w.Content(std::string(bytes, 'x'));
    EXPECT_FALSE(w.Close()) << bytes;
    EXPECT_FALSE(w.Close()) << "the result stays";
  }

  const std::string good = dir / "good.xml";
  XmlWriter w(good);
  w.Tag("a");
  EXPECT_TRUE(w.Close());
  w.Tag("b");  // after Close nothing more is written
  EXPECT_TRUE(w.Close());
  EXPECT_EQ(ReadFile(good), std::string(kDeclaration) + "<a/>");
}

// Random byte strings, with markup characters, controls, surrogates and broken
// sequences over-represented, always make well-formed XML wherever they go.
TEST(XmlWriter, AnyBytesMakeWellFormedXml) {
  static const std::string kPieces[] = {"&",
                                        "<",
                                        ">",
                                        "\"",
                                        "'",
                                        "_x0041_",
                                        "_",
                                        "\t",
                                        "\r",
                                        "\n",
                                        "]]>",
                                        "\xED\xA0\x80",
                                        "\xEF\xBF\xBE",
                                        "\xC2",
                                        "\xF0\x9D\x84\x9E",
                                        "\xC0\xAF",
                                        std::string(1, '\0')};
  std::mt19937 random(20240305);
  ORV::Test::TempDir dir;
  std::vector<std::string> paths;
  for (int n = 0; n < 300; ++n) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int k = 0; k < length; ++k) {
      if (random() % 3 == 0)
        text += kPieces[random() % std::size(kPieces)];
      else
        text += static_cast<char>(random() % 256);
    }
    paths.push_back(dir / ("p" + std::to_string(n) + ".xml"));
    XmlWriter w(paths.back());
    w.Tag("r");
    w.Attr("a", text);
    w.TagOnlyContent("t", text);
    w.Tag("u");
    w.Attr("b", text);
    w.Content(text);
  }
  XlsxTest::ExpectWellFormed(paths);
}

// Valid text without forbidden characters reads back unchanged.
TEST(XmlWriter, ValidTextReadsBackUnchanged) {
  // No hex digits, so no piece sequence can look like an "_xHHHH_" escape.
  static const char* kPieces[] = {
      "q", "&", "<", ">", "\"", "'", "_", "x", " ", "]]>", "\xC2\xB5", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E"};
  std::mt19937 random(7);
  ORV::Test::TempDir dir;
  for (int n = 0; n < 12; ++n) {
    std::string text;
    for (int k = 0; k < 20; ++k) text += kPieces[random() % std::size(kPieces)];
    const std::string path = dir / "p.xml";
    {
      XmlWriter w(path);
      w.Tag("r");
      w.Attr("a", text);
      w.TagOnlyContent("t", text + "\n\t");
    }
    for (const auto& [xpath, expected] :
         {std::pair<std::string, std::string>{"string(/r/@a)", text}, {"string(/r/t)", text + "\n\t"}}) {
      int status = 0;
      std::string out = XlsxTest::RunCommand("xmllint --xpath '" + xpath + "' " + XlsxTest::ShellQuote(path), status);
      ASSERT_EQ(status, 0) << ReadFile(path);
      ASSERT_FALSE(out.empty());
      out.pop_back();  // xmllint ends its answer with a line feed
      EXPECT_EQ(out, expected) << xpath;
    }
  }
}

}  // namespace
}  // namespace Xlsx
