#pragma once
// The trace settings dialog: a thin shell around TraceSettingsEditor. The
// kind list, four number boxes (Y minimum and maximum, horizontal and
// vertical labels), the kind's unit, and the show-unit and auto-range check
// boxes. The minimum and maximum boxes take only digits and the minus sign.
#include <array>

#include "platform/ui/dialog.h"
#include "views/trace_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace ORV::Views {

class CTraceSettingsDialog final : public UI::Dialog {
 public:
  CTraceSettingsDialog(CPelmoraDoc& doc, CustomTraceList customTraces, std::uint32_t interfaceType,
                       QWidget* parent = nullptr);

  TraceSettingsEditor& Editor() { return editor_; }
  QComboBox* KindBox() const { return kinds_; }
  QLineEdit* MinimumBox() const { return minimum_; }
  QLineEdit* MaximumBox() const { return maximum_; }
  QLineEdit* HorizontalBox() const { return horizontal_; }
  QLineEdit* VerticalBox() const { return vertical_; }
  QLabel* UnitText() const { return unit_; }
  QCheckBox* ShowUnitBox() const { return showUnit_; }
  QCheckBox* AutoRangeBox() const { return autoRange_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool PreTranslateKey(QWidget* target, QKeyEvent* key) override;

 private:
  void Show(const TraceSettingsEditor::Fields& fields);

  TraceSettingsEditor editor_;
  QComboBox* kinds_;
  QLineEdit* minimum_;
  QLineEdit* maximum_;
  QLineEdit* horizontal_;
  QLineEdit* vertical_;
  QLabel* unit_;
  QCheckBox* showUnit_;
  QCheckBox* autoRange_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};

}  // namespace ORV::Views
