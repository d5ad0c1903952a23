#pragma once
// Cell comments: the records a workbook keeps for them. Each sheet with
// comments gets a comments part and a note-shape drawing that shows every
// comment as a note box.
#include <cstdint>
#include <string>
#include <vector>

#include "xlsx/part_files.h"
#include "xlsx/styles.h"

namespace Xlsx {

// One stretch of comment text in one font.
struct CommentRun {
  StyleFont font;
  XlsxTextRecord text;
};

struct CommentRecord {
  // The worksheet the comment belongs to (its sheet number). The workbook
  // sets that worksheet's has-comments flag when it saves.
  std::uint64_t sheetNumber = 1;
  std::vector<CommentRun> runs;  // in display order
  std::uint32_t row = 1;         // 1-based
  std::uint32_t column = 0;      // 0-based
  std::string fillColour;        // in VML colour syntax ("#ffffe1")
  bool hidden = false;
  // The note box in points; a box without a size is placed by the reader.
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

}  // namespace Xlsx
