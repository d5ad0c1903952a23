#pragma once
// The application's three document templates, in the order they are
// registered: the trace window, the data sheet and the action sheet. Each
// opens a child frame of the main window's document area (resource 125) and
// makes its view inside it through the view maker its subsystem sets; a
// template without a view maker opens nothing. The application keeps the
// open data sheet and action sheet and forgets each when its window closes.
#include <QPointer>
#include <QString>
#include <array>
#include <functional>

#include "platform/ui/document_area.h"

namespace ORV::Shell {

enum class DocumentKind : unsigned {
  Trace = UI::CChildFrame::kTraceView,
  DataSheet = UI::CChildFrame::kDataSheet,
  ActionSheet = UI::CChildFrame::kActionSheet,
};

inline constexpr int kDocumentResourceId = 125;

using ViewMaker = std::function<QWidget*(UI::CChildFrame& frame)>;

struct ApplicationDocTemplate {
  DocumentKind kind;
  QString name;
  int resourceId = kDocumentResourceId;
  ViewMaker makeView;
};

class DocumentTemplates {
 public:
  DocumentTemplates();

  // The view maker of a template (may be set before or after registration).
  void SetViewMaker(DocumentKind kind, ViewMaker maker);
  const ApplicationDocTemplate& Template(DocumentKind kind) const;
  // The templates in registration order.
  const std::array<ApplicationDocTemplate, 3>& All() const { return templates_; }

  // Adds the three templates to the frame's document area, in order.
  void RegisterWith(UI::DocumentArea& area);
  bool Registered() const { return area_ != nullptr; }

  // Opens a new document of `kind`; null when not registered or its view
  // could not be made. A data sheet or action sheet is kept until its
  // window closes.
  UI::CChildFrame* OpenDocument(DocumentKind kind, bool visible = true);
  UI::CChildFrame* DataSheetDocument() const { return dataSheet_; }
  UI::CChildFrame* ActionSheetDocument() const { return actionSheet_; }

 private:
  ApplicationDocTemplate& Find(DocumentKind kind);
  std::array<ApplicationDocTemplate, 3> templates_;
  std::array<int, 3> indices_{-1, -1, -1};
  UI::DocumentArea* area_ = nullptr;
  QPointer<UI::CChildFrame> dataSheet_;
  QPointer<UI::CChildFrame> actionSheet_;
};

}  // namespace ORV::Shell
