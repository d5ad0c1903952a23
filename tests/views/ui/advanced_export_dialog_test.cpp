// The advanced export dialog: choosing traces, and exports that complete,
// are cancelled while the worker runs, fail, or are not started; renders.
#include "views/ui/advanced_export_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/threading/event.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "platform/ui/progress_dialog.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/views/view_fixture.h"

namespace ORV::Views::Test {
namespace {

class AdvancedExportDialogTest : public ViewFixture {
 protected:
  AdvancedExportDialogTest() {
    Record();
    for (std::uint32_t i = 0; i < 3; ++i) AddPressure(1500 + 1000 * i, 2.25f + static_cast<float>(i));
    AddZones(1100, 2);
  }
  std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Chooses outer diameter of zone 2 and inlet pressure.
  static void Choose(CAdvancedExportDialog& dialog) {
    dialog.TraceList()->setCurrentRow(3);
    dialog.ZoneBox()->setCurrentIndex(1);
    dialog.AddSelected();
    dialog.TraceList()->setCurrentRow(10);
    dialog.AddSelected();
  }
};

TEST_F(AdvancedExportDialogTest, ChoosingTraces) {
  CAdvancedExportDialog dialog(data(), 0);
  dialog.Create();
  EXPECT_EQ(dialog.TraceList()->count(), 19);
  EXPECT_FALSE(dialog.AddButton()->isEnabled());
  EXPECT_FALSE(dialog.RemoveButton()->isEnabled());
  EXPECT_FALSE(dialog.RemoveAllButton()->isEnabled());
  EXPECT_FALSE(dialog.ExportButton()->isEnabled());
  EXPECT_FALSE(dialog.CameraBox()->isEnabled());  // one camera
  EXPECT_TRUE(dialog.ZoneBox()->isEnabled());     // two zones
  dialog.TraceList()->setCurrentRow(3);
  EXPECT_TRUE(dialog.AddButton()->isEnabled());
  Choose(dialog);
  ASSERT_EQ(dialog.ChosenList()->count(), 2);
  EXPECT_EQ(dialog.ChosenList()->item(0)->text(), QStringLiteral("cam0:Zone 2:Outer Diameter"));
  EXPECT_TRUE(dialog.ExportButton()->isEnabled());
  dialog.ChosenList()->setCurrentRow(0);
  EXPECT_TRUE(dialog.RemoveButton()->isEnabled());
  dialog.RemoveSelected();
  EXPECT_EQ(dialog.Chooser().Entries().size(), 1u);
  dialog.RemoveAll();
  EXPECT_EQ(dialog.ChosenList()->count(), 0);
  EXPECT_FALSE(dialog.ExportButton()->isEnabled());
  EXPECT_FALSE(dialog.RemoveAllButton()->isEnabled());
}

TEST_F(AdvancedExportDialogTest, Exports) {
  struct Case {
    const char* what;
    std::optional<std::string> answer;  // the file dialog's answer
    bool cancelWhileRunning;
    bool closed;     // the dialog ended after the export
    bool written;    // the file holds the export
    int errorBoxes;  // message boxes told
  };
  const std::string good = dir_ / "out.csv";
  const std::vector<Case> cases = {
      {"file dialog cancelled", std::nullopt, false, false, false, 0},
      {"path of fewer than 5 characters", std::string("a.cs"), false, false, false, 0},
      {"cancelled on the worker", good, true, false, false, 0},
      {"folder missing", dir_ / "missing/out.csv", false, false, false, 1},
      {"completed", good, false, true, true, 0},
  };
  const std::string expected =
      "cam0:Zone 2:Outer Diameter (Time);cam0:Zone 2:Outer Diameter (Value);"
      "Inlet Pressure (P1)  (Time);Inlet Pressure (P1)  (Value);\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    { std::ofstream(good) << "old"; }
    CAdvancedExportDialog dialog(data(), 0);
    dialog.Create();
    Choose(dialog);
    UI::ScriptedFileDialogs files;
    files.Answer(c.answer);
    UI::ScriptedMessageBoxes boxes;
    Utils::Sync::Event cancelled;
    bool cancelClicked = false;
    if (c.cancelWhileRunning) {
      // The worker waits until Cancel was pressed in the running progress
      // dialog, so the export sees it whatever the threads' timing.
      dialog.SetWorkerGate([&cancelled] { cancelled.Wait(); });
      std::function<void()> press = [&] {
        auto* progress = dialog.findChild<UI::CProgressDialog*>();
        QPushButton* button = progress ? progress->findChild<QPushButton*>() : nullptr;
        if (!button || !progress->isVisible()) {
          QTimer::singleShot(10, &dialog, press);
          return;
        }
        button->click();
        cancelClicked = progress->CancelRequested() && !button->isEnabled();
        cancelled.Set();
      };
      QTimer::singleShot(0, &dialog, press);
    }
    dialog.Export();
    EXPECT_EQ(cancelClicked, c.cancelWhileRunning);
    EXPECT_EQ(dialog.isVisible(), !c.closed);
    EXPECT_EQ(dialog.result(), c.closed ? UI::IDOK : 0);
    EXPECT_EQ(files.Asked().size(), 1u);
    ASSERT_EQ(boxes.Shown().size(), static_cast<std::size_t>(c.errorBoxes));
    if (c.errorBoxes) {
      EXPECT_NE(boxes.Shown()[0].text.indexOf("could not be written"), -1);
    }
    const std::string text = ReadFile(good);
    if (c.written) {
      EXPECT_EQ(text.substr(0, expected.size()), expected);
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
      EXPECT_EQ(text, FormatAdvancedExport(dialog.Chooser().Entries(), data().startTick, UserLocale()));
    } else {
      EXPECT_EQ(text, "old");
    }
  }
}

TEST_F(AdvancedExportDialogTest, Renders) {
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    CAdvancedExportDialog dialog(data(), 0);
    dialog.Create();
    Choose(dialog);
    dialog.TraceList()->setCurrentRow(10);
    ORV::Test::SaveUiArtifact(dialog, "advanced_export_dialog_" + std::to_string(dpi));
    UI::CProgressDialog progress(nullptr, false);
    progress.SetCancel([] {});
    progress.Create();
    progress.Poster()->PostText("Collecting data to export..");
    progress.Poster()->Post(UI::kProgressRange, 4);
    progress.Poster()->Post(UI::kProgressPos, 1);
    ORV::Test::ProcessEventsUntil([&] { return progress.Bar().GetPos() == 1; });
    ORV::Test::SaveUiArtifact(progress, "advanced_export_progress_" + std::to_string(dpi));
  }
}

}  // namespace
}  // namespace ORV::Views::Test
