// The comment parts of a workbook: per sheet with comments the comments part
// and the note-shape (VML) drawing that shows them.
#include "xlsx/comments.h"

#include <algorithm>
#include <functional>

#include "xlsx/namespaces.h"
#include "xlsx/workbook.h"
#include "xlsx/xml_writer.h"

namespace Xlsx {

namespace {

// Fonts of comment runs carry the same character set as the cell fonts.
constexpr std::uint32_t kCommentCharset = 204;

std::string NoteStyle(const CommentRecord& comment) {
  std::string style;
  if (comment.left >= 0 && comment.top >= 0 && comment.width >= 1 && comment.height >= 1)
    style = "position:absolute; margin-left:" + std::to_string(comment.left) +
            "pt;margin-top:" + std::to_string(comment.top) + "pt;width:" + std::to_string(comment.width) +
            "pt;height:" + std::to_string(comment.height) + "pt; z-index:2";
  if (comment.hidden) style += ";visibility:hidden";
  const bool multiLine = std::any_of(comment.runs.begin(), comment.runs.end(), [](const CommentRun& run) {
    return run.text.utf8.find('\n') != std::string::npos;
  });
  if (multiLine) style += ";mso-wrap-style:tight";
  return style;
}

}  // namespace

void CWorkbook::MatchCommentFlags() {
  // The content-type map and the sheets' relationships follow the flags,
  // the comment parts follow the records: a flag that disagreed would leave
  // a part unlisted or a reference to a part that is not there.
  for (const auto& sheet : sheets_) {
    const std::uint64_t n = sheet->GetNumber();
    sheet->SetHasComments(
        std::any_of(comments_.begin(), comments_.end(), [n](const CommentRecord& c) { return c.sheetNumber == n; }));
  }
}

bool CWorkbook::SaveCommentParts() {
  if (comments_.empty()) return true;
  // Stable, so that the comments of one sheet keep the order they were added in.
  std::stable_sort(comments_.begin(), comments_.end(),
                   [](const CommentRecord& a, const CommentRecord& b) { return a.sheetNumber < b.sheetNumber; });
  std::vector<std::reference_wrapper<const CommentRecord>> group;
  for (std::size_t i = 0; i < comments_.size(); ++i) {
    group.push_back(std::cref(comments_[i]));
    if (i + 1 == comments_.size() || comments_[i + 1].sheetNumber != comments_[i].sheetNumber) {
      // Only worksheets have cells to comment on.
      const std::uint64_t n = comments_[i].sheetNumber;
      const bool worksheet =
          std::any_of(sheets_.begin(), sheets_.end(), [n](const auto& sheet) { return sheet->GetNumber() == n; });
      if (worksheet && !SaveSheetComments(group)) return false;
      group.clear();
    }
  }
  return true;
}

bool CWorkbook::SaveSheetComments(const std::vector<std::reference_wrapper<const CommentRecord>>& group) {
  const std::string n = std::to_string(group.front().get().sheetNumber);
  XmlWriter c(registry_.RegisterPartFile("/xl/comments" + n + ".xml"));
  OpenTag(c, "comments", {{"xmlns", Ns::kSpreadsheetMain}});
  c.Tag("authors");
  c.TagOnlyContent("author", author_.utf8);
  c.End();
  c.Tag("commentList");
  for (const CommentRecord& comment : group) {
    c.Tag("comment");
    c.Attr("ref", CellReference(comment.row, comment.column));
    c.AttrRaw("authorId", "0");
    c.Tag("text");
    for (const CommentRun& run : comment.runs) {
      c.Tag("r");
      c.Tag("rPr");
      WriteFontProperties(c, run.font, "rFont", kCommentCharset);
      c.End();
      c.Tag("t");
      // Readers drop white space at either end unless told to keep it.
      if (!run.text.utf8.empty() && (std::isspace(static_cast<unsigned char>(run.text.utf8.front())) ||
                                     std::isspace(static_cast<unsigned char>(run.text.utf8.back()))))
        c.AttrRaw("xml:space", "preserve");
      c.Content(run.text.utf8);
      c.End();  // t
      c.End();  // r
    }
    c.End();  // text
    c.End();  // comment
  }
  bool ok = c.Close();

  XmlWriter v(registry_.RegisterPartFile("/xl/drawings/vmlDrawing" + n + ".vml"));
  OpenTag(v, "xml",
          {{"xmlns:v", "urn:schemas-microsoft-com:vml"},
           {"xmlns:o", "urn:schemas-microsoft-com:office:office"},
           {"xmlns:x", "urn:schemas-microsoft-com:office:excel"}});
  OpenTag(v, "o:shapelayout", {{"v:ext", "edit"}});
  WriteLeaf(v, "o:idmap", {{"v:ext", "edit"}, {"data", "1"}});
  v.End();
  OpenTag(
      v, "v:shapetype",
      {{"id", "_x0000_t202"}, {"coordsize", "21600,21600"}, {"o:spt", "202"}, {"path", "m,l,21600r21600,l21600,xe"}});
  WriteLeaf(v, "v:stroke", {{"joinstyle", "miter"}});
  WriteLeaf(v, "v:path", {{"gradientshapeok", "t"}, {"o:connecttype", "rect"}});
  v.End();
  for (const CommentRecord& comment : group) {
    // Shape ids are unique over the whole workbook, across sheets and saves.
    ++noteShapeCounter_;
    v.Tag("v:shape");
    v.Attr("id", "_x0000_s" + std::to_string(noteShapeCounter_ + 1000));
    v.AttrRaw("type", "#_x0000_t202");
    v.Attr("style", NoteStyle(comment));
    v.Attr("fillcolor", comment.fillColour);
    v.AttrRaw("o:insetmode", "auto");
    v.BeginLeaf("v:fill");
    v.Attr("color2", comment.fillColour);
    v.EndLeaf();
    WriteLeaf(v, "v:shadow", {{"on", "t"}, {"color", "black"}, {"obscured", "t"}});
    WriteLeaf(v, "v:path", {{"o:connecttype", "none"}});
    OpenTag(v, "v:textbox", {{"style", "mso-direction-alt:auto"}});
    WriteLeaf(v, "div", {{"style", "text-align:left"}});
    v.End();
    OpenTag(v, "x:ClientData", {{"ObjectType", "Note"}});
    WriteLeaf(v, "x:MoveWithCells");
    WriteLeaf(v, "x:SizeWithCells");
    v.TagOnlyContentRaw("x:AutoFill", "False");
    v.TagOnlyContent("x:Row", std::uint64_t{comment.row} - 1);
    v.TagOnlyContent("x:Column", std::uint64_t{comment.column});
    v.End();  // x:ClientData
    v.End();  // v:shape
  }
  return v.Close() && ok;
}

}  // namespace Xlsx
