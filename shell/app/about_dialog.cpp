#include "shell/app/about_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>

#include "core/base/dpi.h"
#include "platform/ui/resources.h"

#ifndef ORV_PRODUCT_VERSION
#define ORV_PRODUCT_VERSION "5.5.7.0"
#endif
#ifndef ORV_GIT_INFO
#define ORV_GIT_INFO ""
#endif

namespace ORV::Shell {
namespace {

UI::DialogFrame Frame() {
  UI::DialogFrame frame;
  frame.caption = QStringLiteral("About Tarvix");
  frame.widthDlu = 275;
  frame.heightDlu = 190;
  return frame;
}

// The program's icon at 32 pixels at 96 DPI, scaled with the DPI.
QPixmap ProgramIcon() {
  const int side = ScaleByDpi(32, QueryDpi());
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  if (const auto data = UI::FindResource("icons/program.svg")) {
    QSvgRenderer renderer(QByteArray(data->data(), static_cast<qsizetype>(data->size())));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
  }
  return pixmap;
}

}  // namespace

ProgramVersion ProgramVersionInfo() { return ProgramVersion{"Tarvix 5", ORV_PRODUCT_VERSION, ORV_GIT_INFO}; }

QString AboutVersionText(const ProgramVersion& version) {
  return QStringLiteral("%1, Version:%2 (%3)")
      .arg(QString::fromStdString(version.productName), QString::fromStdString(version.productVersion),
           QString::fromStdString(version.gitInfo));
}

CAboutDlg::CAboutDlg(ProgramVersion version, std::function<void()> checkForUpdates, bool& checkAtStartup,
                     QWidget* owner)
    : Dialog(Frame(), owner),
      versionInfo_(std::move(version)),
      checkForUpdates_(std::move(checkForUpdates)),
      checkAtStartup_(checkAtStartup),
      icon_(new QLabel(this)),
      version_(new QLabel(this)),
      update_(new QPushButton(QStringLiteral("Software update check"), this)),
      startupCheck_(new QCheckBox(QStringLiteral("Check server at startup for software update"), this)),
      close_(new QPushButton(QStringLiteral("Close"), this)) {
  icon_->setGeometry(MapDialogRect(12, 12, 24, 24));
  icon_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  version_->setObjectName(QString::number(kIdVersionLabel));
  version_->setGeometry(MapDialogRect(44, 14, 220, 40));
  version_->setWordWrap(true);
  version_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  version_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  startupCheck_->setObjectName(QString::number(kIdCheckAtStartup));
  startupCheck_->setGeometry(MapDialogRect(44, 62, 220, 12));
  update_->setObjectName(QString::number(kIdUpdateCheck));
  update_->setGeometry(MapDialogRect(44, 80, 110, 16));
  close_->setGeometry(MapDialogRect(210, 168, 56, 16));
  close_->setDefault(true);
  QObject::connect(close_, &QPushButton::clicked, this, [this] { OnOK(); });
  QObject::connect(update_, &QPushButton::clicked, this, [this] {
    if (checkForUpdates_) checkForUpdates_();
  });
  QObject::connect(startupCheck_, &QCheckBox::clicked, this, [this] { OnCheckAtStartup(); });
}

bool CAboutDlg::OnInitDialog() {
  const QPixmap icon = ProgramIcon();
  icon_->setPixmap(icon);
  icon_->resize(icon.size());
  version_->setText(AboutVersionText(versionInfo_));
  startupCheck_->setChecked(checkAtStartup_);
  return true;
}

void CAboutDlg::OnCheckAtStartup() { checkAtStartup_ = startupCheck_->isChecked(); }

}  // namespace ORV::Shell
