#include "shell/app/document_templates.h"

namespace ORV::Shell {
namespace {

std::size_t IndexOf(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::Trace:
      return 0;
    case DocumentKind::DataSheet:
      return 1;
    case DocumentKind::ActionSheet:
      return 2;
  }
  return 0;
}

}  // namespace

DocumentTemplates::DocumentTemplates()
    : templates_{
          ApplicationDocTemplate{DocumentKind::Trace, QStringLiteral("Trace"), kDocumentResourceId, {}},
          ApplicationDocTemplate{DocumentKind::DataSheet, QStringLiteral("Data sheet"), kDocumentResourceId, {}},
          ApplicationDocTemplate{DocumentKind::ActionSheet, QStringLiteral("Action sheet"), kDocumentResourceId, {}}} {}

ApplicationDocTemplate& DocumentTemplates::Find(DocumentKind kind) { return templates_[IndexOf(kind)]; }

const ApplicationDocTemplate& DocumentTemplates::Template(DocumentKind kind) const { return templates_[IndexOf(kind)]; }

void DocumentTemplates::SetViewMaker(DocumentKind kind, ViewMaker maker) { Find(kind).makeView = std::move(maker); }

void DocumentTemplates::RegisterWith(UI::DocumentArea& area) {
  area_ = &area;
  for (std::size_t i = 0; i < templates_.size(); ++i) {
    ApplicationDocTemplate* t = &templates_[i];
    // The maker is looked up when a document opens, so a view maker set
    // after registration is used.
    indices_[i] = area.AddDocTemplate(UI::DocTemplate{t->name, [t](UI::CChildFrame& frame) -> QWidget* {
                                                        frame.frameKind = static_cast<unsigned>(t->kind);
                                                        return t->makeView ? t->makeView(frame) : nullptr;
                                                      }});
  }
}

UI::CChildFrame* DocumentTemplates::OpenDocument(DocumentKind kind, bool visible) {
  if (!area_) return nullptr;
  UI::CChildFrame* frame = area_->OpenDocument(indices_[IndexOf(kind)], visible);
  if (!frame || kind == DocumentKind::Trace) return frame;
  QPointer<UI::CChildFrame>& kept = kind == DocumentKind::DataSheet ? dataSheet_ : actionSheet_;
  kept = frame;
  auto previous = frame->onClosed;
  frame->onClosed = [&kept, frame, previous](UI::CChildFrame& closed) {
    if (kept == frame) kept = nullptr;
    if (previous) previous(closed);
  };
  return frame;
}

}  // namespace ORV::Shell
