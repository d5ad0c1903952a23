#pragma once
// The drawing of one sheet: the objects anchored on it. Every sheet has one;
// a sheet refers to it only when it holds at least one item.
#include <cstdint>
#include <string>
#include <vector>

#include "xlsx/part_files.h"

namespace Xlsx {

class CChart;

// A picture of the workbook, stored in the package as "/xl/media/" + media
// name.
struct WorkbookImage {
  // 1 gif, 2 jpg, 3 jpeg, 4 png, 5 tif, 6 tiff; decides the content type.
  std::uint32_t typeCode = 4;
  std::string mediaName;  // "logo.png"
};

// A cell position with offsets in EMU (columns and rows 0-based).
struct DrawingAnchor {
  std::uint32_t column = 0;
  std::uint32_t columnOffset = 0;
  std::uint32_t row = 0;
  std::uint32_t rowOffset = 0;
};

enum DrawingItemKind : std::uint32_t {
  kChartAbsolute = 0,   // a chart at a fixed position and size (a chartsheet's)
  kChartTwoCell = 1,    // a chart between two cells
  kPictureOneCell = 2,  // a picture at a cell; `to.column` and `to.row` hold its width and height in EMU
  kPictureTwoCell = 3,  // a picture between two cells
};

struct DrawingItem {
  const CChart* chart = nullptr;         // chart kinds; owned by the workbook
  const WorkbookImage* image = nullptr;  // picture kinds; owned by the workbook
  std::uint32_t kind = kChartAbsolute;
  DrawingAnchor from;
  DrawingAnchor to;
};

class CDrawing {
 public:
  // Drawings are numbered 1, 2, 3 ... in creation order.
  CDrawing(std::uint64_t number, TempFileRegistry& registry) : number_(number), registry_(registry) {}
  virtual ~CDrawing() = default;
  CDrawing(const CDrawing&) = delete;
  CDrawing& operator=(const CDrawing&) = delete;

  std::uint64_t GetNumber() const { return number_; }
  bool HasItems() const { return !items.empty(); }

  // Writes the relationships part and the drawing part; nothing for a drawing
  // without items. False when a part could not be written completely.
  bool Save();

  // In insertion order; an item's 1-based position links its two parts.
  std::vector<DrawingItem> items;

 private:
  std::uint64_t number_;
  TempFileRegistry& registry_;
};

}  // namespace Xlsx
