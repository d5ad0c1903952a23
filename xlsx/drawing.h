#pragma once
// The drawing of one sheet: the objects anchored on it. Every sheet has one;
// a sheet refers to it only when it holds at least one item.
#include <cstdint>
#include <vector>

#include "xlsx/part_files.h"

namespace Xlsx {

// A cell position with offsets in EMU (columns and rows 0-based).
struct DrawingAnchor {
  std::uint32_t column = 0;
  std::uint32_t columnOffset = 0;
  std::uint32_t row = 0;
  std::uint32_t rowOffset = 0;
};

struct DrawingItem {
  // 0 chart at an absolute position, 1 chart in a two-cell anchor,
  // 2 picture in a one-cell anchor, 3 picture in a two-cell anchor.
  std::uint32_t kind = 0;
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

  // In insertion order; an item's 1-based position links its two parts.
  std::vector<DrawingItem> items;

 private:
  std::uint64_t number_;
  [[maybe_unused]] TempFileRegistry& registry_;
};

}  // namespace Xlsx
