#include "custom_traces/ui/custom_script_help.h"

#include <QTextBrowser>
#include <QVBoxLayout>

#include "core/base/rich_text.h"
#include "platform/ui/resources.h"

namespace ORV::Traces {

CustomScriptHelp::CustomScriptHelp(const QString& rtf, QWidget* parent)
    : UI::Dialog(UI::DialogFrame{QStringLiteral("Script Help"), true, true, 0, 0}, parent), rtf_(rtf) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  resize(MapDialogRect(0, 0, 342, 405).size());
}

QString CustomScriptHelp::LoadHelpText() {
  const auto text = UI::FindResource("custom_traces/help.rtf");
  return text ? QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size())) : QString();
}

bool CustomScriptHelp::OnInitDialog() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  text_ = new QTextBrowser(this);
  text_->setObjectName(QStringLiteral("helpText"));
  text_->setReadOnly(true);
  text_->setOpenLinks(false);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Paragraphs follow each other without the rich text's default gaps: the
  // page sets its own spacing with empty paragraphs.
  text_->document()->setDefaultStyleSheet(QStringLiteral("p { margin-top: 0px; margin-bottom: 0px; }"));
  text_->document()->setDocumentMargin(MapDialogRect(0, 0, 4, 4).width());
  text_->setHtml(QString::fromStdString(RtfToHtml(rtf_.toStdString())));
  text_->moveCursor(QTextCursor::Start);
  layout->addWidget(text_);
  return false;
}

void CustomScriptHelp::OnCancel() {
  closed_ = true;
  EndDialog(UI::IDCANCEL);
}

}  // namespace ORV::Traces
