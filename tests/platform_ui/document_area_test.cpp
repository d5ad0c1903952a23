#include "platform/ui/document_area.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPainter>
#include <QTimer>

#include "core/base/configuration.h"
#include "platform/ui/dpi.h"
#include "platform/ui/pane_manager.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

// A view that shows its title.
QWidget* View(const QString& title) {
  auto* view = new QLabel(title);
  view->setAlignment(Qt::AlignCenter);
  view->setWindowTitle(title);
  return view;
}

// The application's three templates, with views that are plain labels.
struct Application {
  explicit Application(DocumentArea& area) {
    area.AddDocTemplate(
        {QStringLiteral("Trace"), [this](CChildFrame&) { return View(QStringLiteral("Trace %1").arg(++traces)); }});
    area.AddDocTemplate({QStringLiteral("Data sheet"), [](CChildFrame& frame) {
                           frame.frameKind = CChildFrame::kDataSheet;
                           return View(QStringLiteral("Data Sheet"));
                         }});
    area.AddDocTemplate({QStringLiteral("Action sheet"), [](CChildFrame& frame) {
                           frame.frameKind = CChildFrame::kActionSheet;
                           return View(QStringLiteral("Action Sheet"));
                         }});
  }
  // Opens a sheet and forgets it when its window closes.
  CChildFrame* OpenSheet(DocumentArea& area, int index, CChildFrame*& slot) {
    slot = area.OpenDocument(index);
    if (slot) {
      slot->onClosed = [&slot](CChildFrame& frame) {
        if (frame.frameKind == CChildFrame::kDataSheet || frame.frameKind == CChildFrame::kActionSheet) slot = nullptr;
      };
    }
    return slot;
  }
  int traces = 0;
  CChildFrame* dataSheet = nullptr;
  CChildFrame* actionSheet = nullptr;
};

TEST(DocumentAreaTest, TemplatesOpenChildFramesAndClosingASheetIsReported) {
  DocumentArea area;
  area.resize(600, 400);
  area.show();
  Application app(area);
  EXPECT_EQ(area.TemplateCount(), 3u);
  EXPECT_EQ(area.viewMode(), QMdiArea::TabbedView);

  CChildFrame* trace = area.OpenDocument(0);
  ASSERT_NE(trace, nullptr);
  EXPECT_EQ(trace->frameKind, CChildFrame::kTraceView);
  ASSERT_NE(app.OpenSheet(area, 1, app.dataSheet), nullptr);
  ASSERT_NE(app.OpenSheet(area, 2, app.actionSheet), nullptr);
  EXPECT_EQ(app.dataSheet->frameKind, CChildFrame::kDataSheet);
  EXPECT_EQ(app.actionSheet->frameKind, CChildFrame::kActionSheet);
  EXPECT_EQ(area.activeSubWindow(), app.actionSheet);
  EXPECT_EQ(area.Frames().size(), 3u);

  EXPECT_EQ(area.OpenDocument(3), nullptr) << "no such template";
  area.AddDocTemplate({QStringLiteral("Broken"), [](CChildFrame&) { return nullptr; }});
  EXPECT_EQ(area.OpenDocument(3), nullptr) << "a template that makes no view opens nothing";
  EXPECT_EQ(area.Frames().size(), 3u);

  // Closing a trace window leaves both sheets; closing a sheet forgets it.
  trace->close();
  EXPECT_NE(app.dataSheet, nullptr);
  EXPECT_NE(app.actionSheet, nullptr);
  app.dataSheet->close();
  EXPECT_EQ(app.dataSheet, nullptr);
  EXPECT_NE(app.actionSheet, nullptr);
  EXPECT_EQ(area.Frames().size(), 1u);
}

TEST(DocumentAreaTest, TheWindowsDialogListsActivatesAndClosesWindows) {
  DocumentArea area;
  area.resize(600, 400);
  area.show();
  Application app(area);
  CChildFrame* first = area.OpenDocument(0);
  area.OpenDocument(0);
  area.OpenDocument(1);

  WindowsDialog dialog(area);
  QListWidget& list = dialog.List();
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.item(0)->text(), QStringLiteral("Trace 1"));
  EXPECT_EQ(list.item(2)->text(), QStringLiteral("Data Sheet"));
  EXPECT_EQ(list.currentRow(), 2) << "the active window is selected";
  ORV::Test::SaveUiArtifact(dialog, "windows_dialog");

  list.clearSelection();
  list.item(1)->setSelected(true);
  dialog.CloseSelected();
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.item(1)->text(), QStringLiteral("Data Sheet"));

  list.clearSelection();
  list.item(0)->setSelected(true);
  dialog.ActivateSelected();
  EXPECT_EQ(area.activeSubWindow(), first);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  // The frame's command 126 opens the dialog under the text "Windows...".
  CommandRouter router;
  area.EnableWindowsDialog(router, 126, "Windows...");
  QAction action;
  router.BindAction(action, 126);
  router.UpdateIdle();
  EXPECT_EQ(action.text(), QStringLiteral("Windows..."));
  EXPECT_TRUE(action.isEnabled());
  int listed = -1;
  QTimer::singleShot(0, [&] {
    if (auto* shown = dynamic_cast<WindowsDialog*>(QApplication::activeModalWidget())) {
      listed = shown->List().count();
      shown->reject();
    }
  });
  EXPECT_TRUE(router.Execute(126));
  EXPECT_EQ(listed, 2);
}

// A pane that paints its caption, standing in for the program's panes.
class LabelPane : public DockingPane {
 public:
  LabelPane(const Configuration& configuration, const QString& name) : DockingPane(configuration, name, name) {}

 protected:
  void OnPaint(QPainter& painter) override {
    painter.drawText(Client()->rect().adjusted(Scale(8), Scale(8), 0, 0), Qt::AlignLeft | Qt::AlignTop, windowTitle());
  }
};

TEST(DocumentAreaTest, AFrameWithDockedPanesAndTabbedDocumentsRenders) {
  ORV::Test::SandboxedHome home;
  Configuration configuration;
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    QMainWindow frame;
    auto* area = new DocumentArea;
    frame.setCentralWidget(area);
    PaneManager panes(frame);
    const struct {
      const char* name;
      PaneLayout layout;
    } rows[] = {
        {"CameraPane", {256, "Camera", {200, 324}, {200, 324}, false, 0x5000, CBRS_ALIGN_LEFT}},
        {"FlowPane", {258, "Flow Meter", {200, 100}, {200, 100}, false, 0x4000, CBRS_ALIGN_RIGHT}},
        {"SinglePane", {257, "Pressure Interface", {200, 344}, {200, 200}, false, 0x4000, CBRS_ALIGN_RIGHT}},
        {"CameraWnd0", {43268, "Image Analysis", {400, 160}, {400, 160}, false, 0xA800, CBRS_ALIGN_BOTTOM}},
    };
    for (const auto& row : rows) {
      ASSERT_NE(panes.Create<LabelPane>(row.layout, configuration, QString::fromLatin1(row.name)), nullptr);
    }
    Application app(*area);
    area->OpenDocument(0);
    area->OpenDocument(1);
    area->OpenDocument(0);
    frame.resize(ScaleSize(1000, 700, dpi));
    frame.show();
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return frame.isVisible(); }));
    EXPECT_EQ(area->Frames().size(), 3u);
    EXPECT_EQ(panes.DockedSide(*panes.Find(43268)), CBRS_ALIGN_BOTTOM);
    ORV::Test::SaveUiArtifact(frame, "frame_panes_documents_" + std::to_string(dpi));
  }
}

}  // namespace
}  // namespace ORV::UI
