// The drag data as a drop target asks for it: formats in order, the first
// entry of a format answering, and the codes for what is not offered.
#include "platform/com/drag_data.h"

#include <gtest/gtest.h>

namespace ORV::Com {
namespace {

TEST(DragDataObjectTest, AnswersAsADropTargetAsks) {
  DragDataObject data;
  std::string out = "untouched";
  EXPECT_EQ(data.QueryGetData("text/plain"), DV_E_FORMATETC);
  EXPECT_EQ(data.GetData("text/plain", &out), DV_E_FORMATETC);
  EXPECT_TRUE(data.EnumFormats().empty());

  EXPECT_EQ(data.SetData("", "x"), E_INVALIDARG);
  EXPECT_EQ(data.SetData("image/png", "png"), S_OK);
  EXPECT_EQ(data.SetData("image/svg+xml", "svg"), S_OK);
  EXPECT_EQ(data.SetData("image/png", "second png"), S_OK);
  EXPECT_EQ(data.EnumFormats(), (std::vector<std::string>{"image/png", "image/svg+xml"}));

  struct Case {
    const char* format;
    HRESULT query;
    HRESULT get;
    const char* bytes;
  };
  for (const Case& c : {Case{"image/png", S_OK, S_OK, "png"}, Case{"image/svg+xml", S_OK, S_OK, "svg"},
                        Case{"text/plain", DV_E_CLIPFORMAT, DV_E_FORMATETC, "untouched"}}) {
    SCOPED_TRACE(c.format);
    out = "untouched";
    EXPECT_EQ(data.QueryGetData(c.format), c.query);
    EXPECT_EQ(data.GetData(c.format, &out), c.get);
    EXPECT_EQ(out, c.bytes);
  }
  EXPECT_EQ(data.GetData("image/png", nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace ORV::Com
