#pragma once
// The trace glue's host in the program: the data sheet is the view of the
// application's data-sheet document (opened through its template), and the
// ribbon texts go to the frame. GUI thread.
#include <functional>
#include <optional>
#include <string>

#include "shell/glue/trace_glue.h"

namespace ORV::Views {
class CDataView;
}
namespace ORV::UI {
class CChildFrame;
}

namespace ORV::Shell {

class DocumentTemplates;

// A data sheet's view as the glue fills it.
class DataViewRows final : public DataSheetRows {
 public:
  explicit DataViewRows(Views::CDataView& view) : view_(view) {}
  void AddMeasurementRow(const CalculationData& record) override;
  void Refresh() override;

 private:
  Views::CDataView& view_;
};

class DocumentGlueHost final : public TraceGlueHost {
 public:
  using CommandText = std::function<bool(std::uint32_t id, const std::string& text)>;
  DocumentGlueHost(DocumentTemplates& templates, CommandText setCommandText);

  DataSheetRows* DataSheet() override;
  DataSheetRows* OpenDataSheet() override;
  bool SetCommandText(std::uint32_t id, const std::string& text) override;

 private:
  // The rows of the data-sheet view in `frame`; null when it shows none.
  DataSheetRows* RowsOf(UI::CChildFrame* frame);

  DocumentTemplates& templates_;
  CommandText setCommandText_;
  std::optional<DataViewRows> rows_;
};

}  // namespace ORV::Shell
