#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "platform/os/folders.h"
#include "platform/os/registry_store.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

std::string Colors(const std::string& lists) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Colors>" + lists + "</Colors>";
}

const std::string kOuter =
    "<Outer><C R=\"255\" G=\"0\" B=\"0\" Description=\"Red\"/><C R=\"1\" G=\"2\" B=\"3\"/></Outer>";
const std::string kInner = "<Inner><C R=\"173\" G=\"255\" B=\"47\" Description=\"Green yellow\"/></Inner>";
const std::string kBorder = "<Border><C R=\"0\" G=\"0\" B=\"139\" Description=\"Dark blue\"/></Border>";

struct Lists {
  std::vector<ZoneColor> border, outer, inner;
};

int Read(const std::string& path, Lists& l) { return Configuration::LoadZoneColors(path, l.border, l.outer, l.inner); }

TEST(ColorsXml, ResultCodesAndTheListsReadBeforeTheError) {
  ORV::Test::TempDir dir;
  struct Case {
    const char* what;
    std::optional<std::string> content;  // nothing: no file
    int result;
    std::size_t outer, inner, border;
  };
  const Case cases[] = {
      {"complete", Colors(kOuter + kInner + kBorder), kColorsOk, 2, 1, 1},
      {"lists in any order", Colors(kBorder + kInner + kOuter), kColorsOk, 2, 1, 1},
      {"empty lists", Colors("<Outer/><Inner/><Border/>"), kColorsOk, 0, 0, 0},
      {"missing file", std::nullopt, kColorsNotXml, 0, 0, 0},
      {"empty file", "", kColorsNotXml, 0, 0, 0},
      {"not XML", "R=255 G=0 B=0", kColorsNotXml, 0, 0, 0},
      {"broken XML", "<Colors><Outer>", kColorsNotXml, 0, 0, 0},
      {"no Outer", Colors(kInner + kBorder), kColorsNoOuter, 0, 0, 0},
      {"no Inner", Colors(kOuter + kBorder), kColorsNoInner, 2, 0, 0},
      {"no Border", Colors(kOuter + kInner), kColorsNoBorder, 2, 1, 0},
      {"lists below the document element only", "<Colors><Group>" + kOuter + kInner + kBorder + "</Group></Colors>",
       kColorsNoOuter, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / (std::string(c.what) + ".xml");
    if (c.content) {
      ASSERT_TRUE(OS::AtomicWriteFile(path, *c.content));
    }
    Lists l;
    EXPECT_EQ(Read(path, l), c.result);
    EXPECT_EQ(l.outer.size(), c.outer);
    EXPECT_EQ(l.inner.size(), c.inner);
    EXPECT_EQ(l.border.size(), c.border);
  }
}

TEST(ColorsXml, EntriesAreRedGreenBlueValuesMaskedToABytePlusTheirDescription) {
  ORV::Test::TempDir dir;
  const std::string path = dir / "colors.xml";
  ASSERT_TRUE(
      OS::AtomicWriteFile(path, Colors("<Outer>"
                                       "<Color R=\"1\" G=\"2\" B=\"3\" Description=\"one two three\"/>"
                                       "<Any R=\"300\" G=\"-1\" B=\"256\" Description=\"masked\"/>"
                                       "<Color G=\"128\"/>"
                                       "<!-- a comment is not an entry -->"
                                       "<Color R=\"0\" G=\"0\" B=\"255\" Description=\"Gr\xC3\xBCn &amp; Blau\"/>"
                                       "</Outer><Inner/><Border/>")));
  Lists l;
  ASSERT_EQ(Read(path, l), kColorsOk);
  ASSERT_EQ(l.outer.size(), 4u);
  EXPECT_EQ(l.outer[0].color, 1u + 2u * 256u + 3u * 65536u);
  EXPECT_EQ(l.outer[0].description, "one two three");
  EXPECT_EQ(l.outer[1].color, 44u + 255u * 256u + 0u * 65536u);
  EXPECT_EQ(l.outer[2].color, 128u * 256u);
  EXPECT_EQ(l.outer[2].description, "");
  EXPECT_EQ(l.outer[3].color, 255u * 65536u);
  EXPECT_EQ(l.outer[3].description, "Gr\xC3\xBCn & Blau");
}

// How Load uses the file: the first entry of each list is the colour default.
TEST(ColorsXml, LoadTakesDefaultsFromTheFileOrFallsBackToAllThreeBuiltIns) {
  ORV::Test::TempDir dir;
  struct Case {
    const char* what;
    std::string content;
    std::array<std::uint32_t, 3> defaults;  // border, outer, inner
  };
  const std::array<std::uint32_t, 3> builtIn = {0x8B0000, 0x0000FF, 0x2FFFAD};
  const Case cases[] = {
      {"complete", Colors(kOuter + kInner + kBorder), {139u << 16, 255u, 173u + (255u << 8) + (47u << 16)}},
      {"no Border: nothing is taken", Colors(kOuter + kInner), builtIn},
      {"no Inner", Colors(kOuter + kBorder), builtIn},
      {"broken", "<Colors>", builtIn},
      {"an empty list keeps its built-in colour",
       Colors("<Outer/>" + kInner + kBorder),
       {139u << 16, 0x0000FF, 173u + (255u << 8) + (47u << 16)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / (std::string(c.what) + ".xml");
    ASSERT_TRUE(OS::AtomicWriteFile(path, c.content));
    OS::RegistryStore empty;
    Configuration config;
    config.colorsXmlOverride = {path};
    config.Load(empty);
    EXPECT_EQ(config.ZoneBorderColor, c.defaults[0]);
    EXPECT_EQ(config.ZoneOuterEdgeColor, c.defaults[1]);
    EXPECT_EQ(config.ZoneInnerEdgeColor, c.defaults[2]);
    EXPECT_EQ(config.DefaultZoneColors, c.defaults);
  }
}

TEST(ColorsXml, TheProgramsOwnListComesWithTheSources) {
  const char* root = std::getenv("ORV_TEST_SOURCE_DIR");
  ASSERT_NE(root, nullptr);
  Lists l;
  ASSERT_EQ(Read(std::string(root) + "/resources/colors.xml", l), kColorsOk);
  EXPECT_FALSE(l.outer.empty());
  EXPECT_FALSE(l.inner.empty());
  ASSERT_FALSE(l.border.empty());
  EXPECT_EQ(l.border[0].color, 0x8B0000u) << "the built-in border colour";
  EXPECT_EQ(l.outer[0].color, 0x0000FFu);
  EXPECT_EQ(l.inner[0].color, 0x2FFFADu);
}

}  // namespace
}  // namespace ORV
