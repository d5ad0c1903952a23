#include "platform/ui/message_box.h"

#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QStyle>
#include <QTimer>
#include <QToolTip>

#include "platform/ui/owner_activation.h"
#include "platform/ui/string_table.h"

namespace ORV::UI {
namespace {

ScriptedMessageBoxes* g_script = nullptr;
BalloonTipRecorder* g_balloons = nullptr;

constexpr std::uint32_t kButtonMask = 0x0000000F;
constexpr std::uint32_t kIconMask = 0x000000F0;

int FirstButton(std::uint32_t type) {
  const std::uint32_t buttons = type & kButtonMask;
  return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

QMessageBox::Icon IconOf(std::uint32_t type) {
  switch (type & kIconMask) {
    case MB_ICONSTOP:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QStyle::StandardPixmap BalloonPixmap(BalloonIcon icon) {
  switch (icon) {
    case BalloonIcon::Info:
      return QStyle::SP_MessageBoxInformation;
    case BalloonIcon::Warning:
      return QStyle::SP_MessageBoxWarning;
    default:
      return QStyle::SP_MessageBoxCritical;
  }
}

// A tip window below an edit field: icon, bold title, text. It goes when the
// user types or clicks in the edit, when the edit loses the focus or is
// hidden, after a while, or with the edit.
class BalloonTipWindow : public QFrame {
 public:
  BalloonTipWindow(QWidget* edit, const QString& title, const QString& text, BalloonIcon icon)
      : QFrame(edit, Qt::ToolTip | Qt::FramelessWindowHint), edit_(edit) {
    setFrameShape(QFrame::Box);
    setPalette(QToolTip::palette());
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    if (icon != BalloonIcon::None) {
      auto* picture = new QLabel(this);
      const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
      picture->setPixmap(style()->standardIcon(BalloonPixmap(icon), nullptr, this).pixmap(size, size));
      picture->setAlignment(Qt::AlignTop);
      layout->addWidget(picture);
    }
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), text.toHtmlEscaped()));
    layout->addWidget(label);
    adjustSize();
    move(edit->mapToGlobal(QPoint(edit->width() / 2, edit->height())));
    edit->installEventFilter(this);
    QTimer::singleShot(kShownMs, this, [this] { deleteLater(); });
    show();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == edit_) {
      switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::FocusOut:
        case QEvent::Hide:
          hide();
          deleteLater();
          break;
        default:
          break;
      }
    }
    return false;
  }

 private:
  static constexpr int kShownMs = 10000;
  QWidget* edit_;
};

QPointer<BalloonTipWindow> g_currentTip;

}  // namespace

ScriptedMessageBoxes::ScriptedMessageBoxes(std::initializer_list<int> answers) {
  for (int answer : answers) Answer(answer);
  g_script = this;
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() {
  if (g_script == this) g_script = nullptr;
}

int ScriptedMessageBoxes::Next(MessageBoxRecord record) {
  if (answers_.empty()) {
    ++unscripted_;
    record.answer = FirstButton(record.type);
  } else {
    const ScriptedAnswer next = answers_.front();
    answers_.pop_front();
    record.answer = next.answer;
    shown_.push_back(record);
    if (next.delayMs > 0) {
      QEventLoop open;
      QTimer::singleShot(next.delayMs, &open, &QEventLoop::quit);
      open.exec();
    }
    return record.answer;
  }
  shown_.push_back(record);
  return record.answer;
}

int MessageBox(QWidget* owner, const QString& text, const QString& caption, std::uint32_t type) {
  const QString title = caption.isEmpty() ? ApplicationTitle() : caption;
  if (g_script) return g_script->Next({owner, text, title, type, 0});

  QMessageBox box(IconOf(type), title, text, QMessageBox::NoButton, owner);
  if ((type & kButtonMask) == MB_YESNO) {
    box.addButton(QMessageBox::Yes);
    box.addButton(QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else if ((type & kButtonMask) == MB_OKCANCEL) {
    box.addButton(QMessageBox::Ok);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
  } else if ((type & kButtonMask) == MB_YESNOCANCEL) {
    box.addButton(QMessageBox::Yes);
    box.addButton(QMessageBox::No);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
  } else {
    box.addButton(QMessageBox::Ok);
  }
  box.setWindowModality(Qt::ApplicationModal);
  const OwnerActivation giveBack(owner);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    case QMessageBox::Cancel:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

void ShowNotice(QWidget* owner, const QString& text, const QString& caption, std::uint32_t type) {
  const QString title = caption.isEmpty() ? ApplicationTitle() : caption;
  if (g_script) {
    g_script->shown_.push_back({owner, text, title, type, IDOK});
    return;
  }
  auto* box = new QMessageBox(IconOf(type), title, text, QMessageBox::Ok, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

BalloonTipRecorder::BalloonTipRecorder() { g_balloons = this; }

BalloonTipRecorder::~BalloonTipRecorder() {
  if (g_balloons == this) g_balloons = nullptr;
}

void ShowBalloonTip(QWidget* edit, const QString& title, const QString& text, BalloonIcon icon) {
  if (!edit) return;
  if (g_balloons) g_balloons->tips_.push_back({edit, title, text, icon});
  delete g_currentTip.data();
  // A tip needs an edit on the screen to point at.
  if (!edit->isVisible()) return;
  g_currentTip = new BalloonTipWindow(edit, title, text, icon);
}

}  // namespace ORV::UI
