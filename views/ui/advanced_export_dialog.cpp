#include "views/ui/advanced_export_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "core/base/configuration.h"
#include "core/base/paths.h"
#include "core/experiment/experiment_data.h"
#include "core/threading/async_task.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "platform/ui/progress_dialog.h"
#include "platform/ui/string_table.h"

namespace ORV::Views {

namespace {

UI::DialogFrame Frame() {
  UI::DialogFrame frame;
  frame.caption = QStringLiteral("Advanced Export");
  frame.widthDlu = 338;
  frame.heightDlu = 166;
  return frame;
}

std::string ProgramText(std::uint32_t id) { return UI::LoadString(id); }

constexpr int kCollectingSteps = 2;

// The selected row of a list; -1 when none is (the current row alone is
// not a choice: the list takes one when it gets the focus).
int SelectedRow(const QListWidget* list) {
  const QList<QListWidgetItem*> items = list->selectedItems();
  return items.isEmpty() ? -1 : list->row(items.front());
}

}  // namespace

CAdvancedExportDialog::CAdvancedExportDialog(ExperimentData& experiment, std::uint32_t interfaceType, QWidget* parent)
    : Dialog(Frame(), parent),
      experiment_(experiment),
      chooser_(experiment, interfaceType, ProgramText),
      traces_(new QListWidget(this)),
      chosen_(new QListWidget(this)),
      cameras_(new QComboBox(this)),
      zones_(new QComboBox(this)),
      add_(new QPushButton(QStringLiteral("Add >>"), this)),
      remove_(new QPushButton(QStringLiteral("<< Remove"), this)),
      removeAll_(new QPushButton(QStringLiteral("Remove All"), this)),
      export_(new QPushButton(QStringLiteral("Export..."), this)) {
  const auto label = [this](const char* text, int x, int y, int width) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    l->setGeometry(MapDialogRect(x, y, width, 9));
  };
  label("Traces:", 7, 7, 120);
  traces_->setGeometry(MapDialogRect(7, 18, 120, 120));
  label("Camera:", 134, 18, 70);
  cameras_->setGeometry(MapDialogRect(134, 28, 70, 14));
  label("Zone:", 134, 46, 70);
  zones_->setGeometry(MapDialogRect(134, 56, 70, 14));
  add_->setGeometry(MapDialogRect(134, 80, 70, 14));
  remove_->setGeometry(MapDialogRect(134, 98, 70, 14));
  removeAll_->setGeometry(MapDialogRect(134, 116, 70, 14));
  label("Traces to export:", 211, 7, 120);
  chosen_->setGeometry(MapDialogRect(211, 18, 120, 120));
  export_->setGeometry(MapDialogRect(227, 145, 50, 14));
  export_->setDefault(true);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setGeometry(MapDialogRect(281, 145, 50, 14));

  connect(add_, &QPushButton::clicked, this, [this] { AddSelected(); });
  connect(remove_, &QPushButton::clicked, this, [this] { RemoveSelected(); });
  connect(removeAll_, &QPushButton::clicked, this, [this] { RemoveAll(); });
  connect(export_, &QPushButton::clicked, this, [this] { Export(); });
  connect(close, &QPushButton::clicked, this, [this] { OnCancel(); });
  connect(traces_, &QListWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  connect(chosen_, &QListWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  connect(cameras_, &QComboBox::currentIndexChanged, this, [this](int camera) { FillZones(camera); });
}

bool CAdvancedExportDialog::OnInitDialog() {
  for (const auto& row : chooser_.Rows()) traces_->addItem(QString::fromStdString(row.name));
  {
    const QSignalBlocker block(cameras_);
    for (const std::string& name : chooser_.Cameras()) cameras_->addItem(QString::fromStdString(name));
    cameras_->setCurrentIndex(cameras_->count() > 0 ? 0 : -1);
  }
  cameras_->setEnabled(chooser_.CameraBoxEnabled());
  FillZones(cameras_->currentIndex());
  UpdateButtons();
  return true;
}

void CAdvancedExportDialog::FillZones(int camera) {
  zones_->clear();
  for (const std::string& zone : chooser_.Zones(camera)) zones_->addItem(QString::fromStdString(zone));
  zones_->setCurrentIndex(zones_->count() > 0 ? 0 : -1);
  zones_->setEnabled(chooser_.ZoneBoxEnabled(camera));
}

void CAdvancedExportDialog::UpdateButtons() {
  const bool any = !chooser_.Entries().empty();
  add_->setEnabled(SelectedRow(traces_) >= 0);
  remove_->setEnabled(SelectedRow(chosen_) >= 0);
  removeAll_->setEnabled(any);
  export_->setEnabled(any);
}

void CAdvancedExportDialog::AddSelected() {
  if (!chooser_.Add(SelectedRow(traces_), cameras_->currentIndex(), zones_->currentIndex())) return;
  chosen_->addItem(QString::fromStdString(chooser_.Entries().back().label));
  UpdateButtons();
}

void CAdvancedExportDialog::RemoveSelected() {
  const int row = SelectedRow(chosen_);
  if (row < 0) return;
  chooser_.Remove(static_cast<std::size_t>(row));
  delete chosen_->takeItem(row);
  UpdateButtons();
}

void CAdvancedExportDialog::RemoveAll() {
  chooser_.RemoveAll();
  chosen_->clear();
  UpdateButtons();
}

void CAdvancedExportDialog::Export() {
  if (chooser_.Entries().empty()) return;
  UI::FileDialogRequest request;
  request.save = true;
  request.title = QStringLiteral("Export");
  request.filter = "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||";
  request.defaultExtension = "csv";
  if (experiment_.configuration) request.folder = experiment_.configuration->LastUsedExperimentPath;
  request.fileName = FileNameFromTitle(experiment_.Read([](const ExperimentContents& c) { return c.title; }), ".csv");
  const std::optional<std::string> path = UI::AskForFile(this, request);
  if (!path || path->size() < 5) return;

  UI::CProgressDialog progress(this, false);
  ExportCancel cancel{false};
  progress.SetCancel([&cancel] { cancel = true; });
  const std::shared_ptr<UI::ProgressPoster> poster = progress.Poster();
  std::vector<AdvancedExportEntry>& entries = chooser_.Entries();
  const int count = static_cast<int>(entries.size());
  std::string error;
  // The dialog's modal loop runs until the worker is done, so everything it
  // refers to here outlives it; the entries are the worker's meanwhile.
  const auto future = ::Utils::Threading::AsyncTask<int>([&, poster] {
                        if (workerGate_) workerGate_();
                        poster->Post(UI::kProgressPos, 0);
                        poster->Post(UI::kProgressRange, kCollectingSteps);
                        poster->PostText("Exporting trace data");
                        poster->BeginStage("Collecting data to export..", count);
                        // A step per trace collected; then the file's stage.
                        const auto step = [&poster](std::size_t done, std::size_t total) {
                          poster->Post(UI::kProgressAdvance, 1);
                          if (done != total) return;
                          poster->Post(UI::kProgressPop);
                          poster->Post(UI::kProgressAdvance, 1);
                          poster->BeginStage("Exporting data to file..", 1);
                        };
                        const bool written =
                            RunAdvancedExport(experiment_, entries, *path, error, step, UserLocale(), &cancel);
                        poster->Post(UI::kProgressPop);
                        poster->Post(UI::kProgressPos, kCollectingSteps);
                        return written ? 1 : 0;
                      }).Start();
  progress.SetDoneQuery([future] { return future->IsFinished(); });
  progress.DoModal();
  if (future->Wait() == 1) {
    EndDialog(UI::IDOK);
    return;
  }
  if (!error.empty())
    UI::MessageBox(this, QString::fromStdString(error), UI::ApplicationTitle(), UI::MB_OK | UI::MB_ICONERROR);
}

bool OpenAdvancedExport(ExperimentData& experiment, std::uint32_t interfaceType, QWidget* parent) {
  CAdvancedExportDialog dialog(experiment, interfaceType, parent);
  return dialog.DoModal() == UI::IDOK;
}

}  // namespace ORV::Views
