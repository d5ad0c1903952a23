#pragma once
// The logic of the trace settings dialog: the kinds it offers, the settings
// of the chosen kind as the boxes show them, and the check and store on OK.
// A built-in kind's settings go through the trace document's registry
// format; a custom trace keeps them in its definition.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "views/trace_document.h"

namespace ORV::Views {

// Interface type words of pressure interfaces that lack some channels.
inline constexpr std::uint32_t kInterfaceWithoutForce = 0x100004;
inline constexpr std::uint32_t kInterfaceWithoutOutletFlowForce = 0x100008;
// "Maximum vertical limit must be larger than minimum".
inline constexpr std::uint32_t kMaximumBelowMinimumText = 376;

// The number at the start of a box's text (an optional minus, then digits);
// 0 when there is none.
int LeadingInteger(const std::string& text);

using CustomTraceList = std::vector<std::pair<std::int32_t, std::shared_ptr<Traces::CustomTracesWithLuaContext>>>;

class TraceSettingsEditor {
 public:
  // What the boxes show.
  struct Fields {
    std::string minimum;
    std::string maximum;
    std::string horizontalLabels;
    std::string verticalLabels;
    std::string unit;
    bool showUnit = true;
    bool autoRange = false;
    bool editable = true;  // false for "None": the four boxes are locked
  };
  struct Row {
    std::int32_t code = 0;
    std::string name;
  };

  // The kinds offered: the built-in ones but those the interface lacks,
  // then the experiment's custom traces by code; the document's kind is
  // chosen and loaded.
  TraceSettingsEditor(CPelmoraDoc& doc, CustomTraceList customTraces, std::uint32_t interfaceType, TraceTexts texts);

  const std::vector<Row>& Rows() const { return rows_; }
  int Selected() const { return selected_; }
  const Fields& Current() const { return fields_; }

  // Chooses a row and loads its settings into the fields.
  const Fields& Select(int row);

  // OK with what the boxes hold: false (nothing stored) when the minimum
  // is above the maximum; else the settings are stored and true returned.
  bool Accept(const Fields& fields);

 private:
  std::shared_ptr<Traces::CustomTracesWithLuaContext> CustomOf(std::int32_t code) const;

  CPelmoraDoc& doc_;
  CustomTraceList custom_;
  TraceTexts texts_;
  std::vector<Row> rows_;
  int selected_ = -1;
  Fields fields_;
};

}  // namespace ORV::Views
