// The marker texts of F1 to F12 as the marker dialog edits them.
#include "shell/marker_strings.h"

#include <gtest/gtest.h>

namespace ORV {
namespace {

MarkerTexts Texts() {
  MarkerTexts texts;
  for (int k = 0; k < kMarkerKeys; ++k) texts[k] = "key " + std::to_string(k + 1);
  return texts;
}

TEST(MarkerStrings, ListsTheKeysAndOpensOnF1) {
  const std::vector<std::string> items = MarkerStrings::KeyItems("Hotkey: ");
  ASSERT_EQ(items.size(), 12u);
  EXPECT_EQ(items.front(), "Hotkey: F1");
  EXPECT_EQ(items.back(), "Hotkey: F12");
  MarkerStrings strings(Texts());
  EXPECT_EQ(strings.Current(), 0);
  EXPECT_EQ(strings.Text(0), "key 1");
}

TEST(MarkerStrings, EditsOfSeveralKeysAreKeptUntilOk) {
  MarkerStrings strings(Texts());
  // F1 unchanged, F3 edited, then F7 edited and OK pressed while on F7.
  EXPECT_EQ(strings.Select(2, "key 1"), "key 3");
  EXPECT_EQ(strings.Select(6, "Drug added"), "key 7");
  EXPECT_EQ(strings.Current(), 6);
  // A choice outside the keys keeps the edit and the current key.
  EXPECT_EQ(strings.Select(12, "Wash"), std::nullopt);
  EXPECT_EQ(strings.Select(-1, "Washout"), std::nullopt);
  EXPECT_EQ(strings.Current(), 6);
  const MarkerTexts& stored = strings.Accept("Washout");
  MarkerTexts expected = Texts();
  expected[2] = "Drug added";
  expected[6] = "Washout";
  EXPECT_EQ(stored, expected);
}

TEST(MarkerStrings, AnEmptyTextIsATextLikeAnyOther) {
  MarkerStrings strings(Texts());
  EXPECT_EQ(strings.Select(1, ""), "key 2");
  EXPECT_EQ(strings.Accept("")[0], "");
  EXPECT_EQ(strings.Text(1), "");
}

}  // namespace
}  // namespace ORV
