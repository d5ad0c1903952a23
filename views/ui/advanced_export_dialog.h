#pragma once
// The advanced export dialog: a thin shell around AdvancedExportChooser.
// The traces that can be chosen, the camera and zone for the video
// analysis' traces, the chosen traces, and Export. The export runs on a
// worker while a progress dialog with a Cancel button shows its stages; the
// window keeps answering meanwhile. A completed export closes the dialog; a
// cancelled one leaves the file as it was and the dialog open; a file that
// cannot be written is told in a message box.
#include <functional>

#include "platform/ui/dialog.h"
#include "views/advanced_export.h"

class QComboBox;
class QListWidget;
class QPushButton;

namespace ORV::Views {

class CAdvancedExportDialog final : public UI::Dialog {
 public:
  // `interfaceType`: the type code of the connected interface (0 when none).
  CAdvancedExportDialog(ExperimentData& experiment, std::uint32_t interfaceType, QWidget* parent = nullptr);

  AdvancedExportChooser& Chooser() { return chooser_; }
  QListWidget* TraceList() const { return traces_; }
  QListWidget* ChosenList() const { return chosen_; }
  QComboBox* CameraBox() const { return cameras_; }
  QComboBox* ZoneBox() const { return zones_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* RemoveButton() const { return remove_; }
  QPushButton* RemoveAllButton() const { return removeAll_; }
  QPushButton* ExportButton() const { return export_; }

  // Adds the selected trace for the selected camera and zone.
  void AddSelected();
  void RemoveSelected();
  void RemoveAll();
  // Asks for the file and exports to it (the Export button).
  void Export();

  // Tests: runs on the worker before the export starts.
  void SetWorkerGate(std::function<void()> gate) { workerGate_ = std::move(gate); }

 protected:
  bool OnInitDialog() override;
  void OnOK() override { Export(); }

 private:
  void FillZones(int camera);
  void UpdateButtons();

  ExperimentData& experiment_;
  AdvancedExportChooser chooser_;
  QListWidget* traces_;
  QListWidget* chosen_;
  QComboBox* cameras_;
  QComboBox* zones_;
  QPushButton* add_;
  QPushButton* remove_;
  QPushButton* removeAll_;
  QPushButton* export_;
  std::function<void()> workerGate_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};

// Opens the advanced export for the experiment, modally; true when a file
// was written.
bool OpenAdvancedExport(ExperimentData& experiment, std::uint32_t interfaceType, QWidget* parent);

}  // namespace ORV::Views
