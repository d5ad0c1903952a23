// The child frame's print commands and what its close tells the application.
#include <gtest/gtest.h>

#include "shell/glue/child_frame_commands.h"

namespace ORV::Shell::Test {
namespace {

TEST(ChildFrame, PrintCommandsDriveOnlyAnOpenPreview) {
  struct Case {
    std::uint32_t command;
    bool preview;
    std::optional<std::uint32_t> posted;
  } cases[] = {
      {ID_FILE_PRINT, true, AFX_ID_PREVIEW_PRINT},
      {ID_FILE_PRINT_DIRECT, true, AFX_ID_PREVIEW_PRINT},
      {ID_FILE_PRINT_PREVIEW, true, AFX_ID_PREVIEW_CLOSE},
      {ID_FILE_PRINT, false, std::nullopt},
      {ID_FILE_PRINT_DIRECT, false, std::nullopt},
      {ID_FILE_PRINT_PREVIEW, false, std::nullopt},
      {57600, true, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(PrintCommandTarget(c.command, c.preview), c.posted) << c.command;
  EXPECT_TRUE(PrintPreviewChecked(true));
  EXPECT_FALSE(PrintPreviewChecked(false));
}

class Sheets final : public OpenSheets {
 public:
  void ForgetDataSheet() override { ++data; }
  void ForgetActionSheet() override { ++action; }
  int data = 0;
  int action = 0;
};

TEST(ChildFrame, ClosingASheetsFrameForgetsThatSheetOnly) {
  struct Case {
    unsigned kind;
    int data, action;
  } cases[] = {{kFrameShowsTrace, 0, 0}, {kFrameShowsDataSheet, 1, 0}, {kFrameShowsActionSheet, 0, 1}, {3, 0, 0}};
  for (const Case& c : cases) {
    Sheets sheets;
    OnChildFrameClosed(c.kind, sheets);
    EXPECT_EQ(sheets.data, c.data) << c.kind;
    EXPECT_EQ(sheets.action, c.action) << c.kind;
  }
}

}  // namespace
}  // namespace ORV::Shell::Test
