#include "shell/app/small_dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/experiment/experiment_data.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"

namespace ORV::Shell {

SaveAnswer AskSaveChangesBox(QWidget* owner, const QString& text) {
  switch (UI::MessageBox(owner, text, UI::ApplicationTitle(), UI::MB_YESNOCANCEL | UI::MB_ICONQUESTION)) {
    case UI::IDYES:
      return SaveAnswer::Yes;
    case UI::IDNO:
      return SaveAnswer::No;
    default:
      return SaveAnswer::Cancel;
  }
}

namespace {

UI::DialogFrame Frame(const char* caption, int width, int height, bool captionBar = true) {
  UI::DialogFrame frame;
  frame.caption = QString::fromUtf8(caption);
  frame.captionBar = captionBar;
  frame.widthDlu = width;
  frame.heightDlu = height;
  return frame;
}

QPushButton* MakeButton(UI::Dialog& dialog, const char* text, int id, QRect where, bool isDefault = false) {
  auto* button = new QPushButton(QString::fromUtf8(text), &dialog);
  button->setObjectName(QString::number(id));
  button->setGeometry(where);
  button->setDefault(isDefault);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

// ---- frame-grabber channel ----

const std::array<const char*, 5> CPicoloChannelDialog::kChannels = {"YC", "VID1", "VID2", "VID3", "VID4"};

CPicoloChannelDialog::CPicoloChannelDialog(QWidget* owner)
    : Dialog(Frame("", 186, 26, false), owner),
      label_(new QLabel(QStringLiteral("Select Picolo Channel"), this)),
      list_(new QComboBox(this)) {
  label_->setGeometry(MapDialogRect(7, 8, 80, 10));
  list_->setObjectName(QString::number(kIdChannelList));
  list_->setGeometry(MapDialogRect(92, 6, 86, 14));
  // Picking a channel is the answer: there is no button.
  QObject::connect(list_, &QComboBox::activated, this, [this](int index) {
    channel = index;
    EndDialog(UI::IDOK);
  });
}

bool CPicoloChannelDialog::OnInitDialog() {
  list_->clear();
  for (const char* text : kChannels) list_->addItem(QString::fromUtf8(text));
  list_->setCurrentIndex(channel);
  return true;
}

// ---- the experiment's title and description ----

CExperimentDialog::CExperimentDialog(ExperimentData& experiment, QWidget* owner)
    : Dialog(Frame("Save Experiment", 231, 144), owner),
      experiment_(experiment),
      title_(new QLineEdit(this)),
      description_(new QPlainTextEdit(this)),
      save_(MakeButton(*this, "Save", kIdSave, MapDialogRect(112, 123, 50, 14), true)),
      cancel_(MakeButton(*this, "Cancel", UI::IDCANCEL, MapDialogRect(170, 123, 50, 14))) {
  auto* titleLabel = new QLabel(QStringLiteral("Title"), this);
  titleLabel->setGeometry(MapDialogRect(11, 9, 60, 8));
  title_->setObjectName(QString::number(kIdTitle));
  title_->setGeometry(MapDialogRect(11, 19, 209, 14));
  auto* descriptionLabel = new QLabel(QStringLiteral("Description"), this);
  descriptionLabel->setGeometry(MapDialogRect(11, 39, 60, 8));
  description_->setObjectName(QString::number(kIdDescription));
  description_->setGeometry(MapDialogRect(11, 49, 209, 66));
  description_->setTabChangesFocus(true);
  QObject::connect(title_, &QLineEdit::textChanged, this,
                   [this](const QString& text) { save_->setEnabled(CanSave(text)); });
  QObject::connect(save_, &QPushButton::clicked, this, [this] { OnOK(); });
  QObject::connect(cancel_, &QPushButton::clicked, this, [this] { OnCancel(); });
}

bool CExperimentDialog::OnInitDialog() {
  const auto [title, description] =
      experiment_.Read([](const ExperimentContents& c) { return std::make_pair(c.title, c.description); });
  title_->setText(QString::fromStdString(title));
  description_->setPlainText(QString::fromStdString(description));
  save_->setEnabled(CanSave(title_->text()));
  return true;
}

void CExperimentDialog::OnOK() {
  if (!save_->isEnabled()) return;
  // The description is stored and written first, then the title.
  const std::string description = description_->toPlainText().toStdString();
  experiment_.Update([&](ExperimentContents& c) {
    c.description = description;
    return 0;
  });
  experiment_.WriteTitleAndDescription();
  const std::string title = title_->text().toStdString();
  experiment_.Update([&](ExperimentContents& c) {
    c.title = title;
    return 0;
  });
  experiment_.WriteTitleAndDescription();
  EndDialog(UI::IDOK);
}

// ---- CSV export choice ----

CExportCSVDialog::CExportCSVDialog(std::vector<CalculationData> calculations, Exporter exporter, QWidget* owner)
    : Dialog(Frame("Export data to CSV file", 143, 96), owner),
      calculations_(std::move(calculations)),
      exporter_(std::move(exporter)),
      close_(MakeButton(*this, "Close", UI::IDOK, MapDialogRect(46, 75, 50, 14), true)) {
  static constexpr const char* kTexts[] = {"Export Data Sheet Mean Data", "Export Data Sheet Maximum Data",
                                           "Export Data Sheet Minimum Data", "Export Data Sheet Video Measurements"};
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i] = MakeButton(*this, kTexts[i], kIdButtons[i], MapDialogRect(5, 7 + 16 * static_cast<int>(i), 133, 14));
    QObject::connect(buttons_[i], &QPushButton::clicked, this, [this, i] { Export(i); });
  }
  QObject::connect(close_, &QPushButton::clicked, this, [this] { OnOK(); });
}

std::array<bool, 4> CExportCSVDialog::PresentKinds(const std::vector<CalculationData>& calculations) {
  std::array<bool, 4> present{};
  for (const CalculationData& record : calculations) {
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
      if (record.kind == kKinds[i]) present[i] = true;
    }
  }
  return present;
}

bool CExportCSVDialog::OnInitDialog() {
  present_ = PresentKinds(calculations_);
  for (std::size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->setEnabled(present_[i]);
  return true;
}

void CExportCSVDialog::Export(std::size_t i) {
  if (!exporter_) return;
  UI::FileDialogRequest request;
  request.save = true;
  request.title = buttons_[i]->text();
  request.filter = "Comma Separated File (*.csv)|*.csv|All Files (*.*)|*.*||";
  request.defaultExtension = ".csv";
  request.folder = folder;
  request.fileName = fileName;
  const auto path = UI::AskForFile(this, request);
  // Written: done. Cancelled or failed (the exporter said why): the dialog
  // stays for another try.
  if (path && exporter_(*path, kKinds[i])) EndDialog(UI::IDOK);
}

// ---- a comment at a point of a trace ----

CEnterMessageDialog::CEnterMessageDialog(double seconds, std::uint32_t startMs, int camera, AddMarker addMarker,
                                         QWidget* owner)
    : Dialog(Frame("Enter comment", 316, 43), owner),
      seconds_(seconds),
      startMs_(startMs),
      camera_(camera),
      addMarker_(std::move(addMarker)),
      edit_(new QLineEdit(this)),
      save_(MakeButton(*this, "Save message", UI::IDOK, MapDialogRect(246, 14, 62, 14), true)) {
  edit_->setObjectName(QString::number(kIdMessage));
  edit_->setGeometry(MapDialogRect(7, 14, 232, 14));
  QObject::connect(save_, &QPushButton::clicked, this, [this] { OnOK(); });
}

std::uint32_t CEnterMessageDialog::MarkerTime(double seconds, std::uint32_t startMs) {
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(seconds * 1000.0)) + startMs;
}

void CEnterMessageDialog::OnOK() {
  message_ = edit_->text().toStdString();
  if (addMarker_) addMarker_(message_, MarkerTime(seconds_, startMs_), camera_);
  // Saved: the dialog closes as a cancel does.
  OnCancel();
}

// ---- a user workspace's name ----

CustomUserWorkspaceDialog::CustomUserWorkspaceDialog(QWidget* owner)
    : Dialog(Frame(" Workspace", 181, 62), owner),
      edit_(new QLineEdit(this)),
      save_(MakeButton(*this, "Save", UI::IDOK, MapDialogRect(66, 41, 50, 14), true)),
      cancel_(MakeButton(*this, "Cancel", UI::IDCANCEL, MapDialogRect(124, 41, 50, 14))) {
  auto* label = new QLabel(QStringLiteral("Workspace name:"), this);
  label->setGeometry(MapDialogRect(7, 9, 80, 8));
  edit_->setObjectName(QString::number(kIdName));
  edit_->setGeometry(MapDialogRect(7, 20, 167, 14));
  QObject::connect(save_, &QPushButton::clicked, this, [this] { OnOK(); });
  QObject::connect(cancel_, &QPushButton::clicked, this, [this] { OnCancel(); });
}

bool CustomUserWorkspaceDialog::OnInitDialog() {
  edit_->setText(QString::fromStdString(name));
  return true;
}

void CustomUserWorkspaceDialog::OnOK() {
  name = edit_->text().toStdString();
  EndDialog(UI::IDOK);
}

}  // namespace ORV::Shell
