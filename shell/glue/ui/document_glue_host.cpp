#include "shell/glue/ui/document_glue_host.h"

#include "core/experiment/session_records.h"
#include "platform/ui/document_area.h"
#include "shell/app/document_templates.h"
#include "views/data_sheet/ui/data_view.h"

namespace ORV::Shell {

void DataViewRows::AddMeasurementRow(const CalculationData& r) {
  view_.AddMeasurementRow(r.kind, r.traceKind, r.zone, r.value, r.selectionStart, r.selectionEnd, r.group, r.comment,
                          r.count, -1, r.sd, r.standardError);
}

void DataViewRows::Refresh() { view_.Refresh(); }

DocumentGlueHost::DocumentGlueHost(DocumentTemplates& templates, CommandText setCommandText)
    : templates_(templates), setCommandText_(std::move(setCommandText)) {}

DataSheetRows* DocumentGlueHost::RowsOf(UI::CChildFrame* frame) {
  auto* view = frame ? dynamic_cast<Views::CDataView*>(frame->widget()) : nullptr;
  if (!view) return nullptr;
  rows_.emplace(*view);
  return &*rows_;
}

DataSheetRows* DocumentGlueHost::DataSheet() { return RowsOf(templates_.DataSheetDocument()); }

DataSheetRows* DocumentGlueHost::OpenDataSheet() {
  return RowsOf(templates_.OpenDocument(DocumentKind::DataSheet, true));
}

bool DocumentGlueHost::SetCommandText(std::uint32_t id, const std::string& text) {
  return setCommandText_ && setCommandText_(id, text);
}

}  // namespace ORV::Shell
