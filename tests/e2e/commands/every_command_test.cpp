// Every command of the ribbon, its File menu and the status bar, run on the
// whole program (the application object and its real main frame) on the
// simulated lab with two cameras, offscreen. The table holds one row per
// command: what it must do, proved by its effect (a window of the named
// class opens, a state changes, a file is written); a row whose command does
// nothing fails. The rows run in table order, so the program goes through a
// live session, a collection, the saves and exports, and the review of the
// saved experiment; the last check is that every command the ribbon, the
// File menu and the status bar show has its row.
//
// Along the way: a custom trace written in the custom-trace dialog is
// plotted, saved with the experiment and shown again when it is opened; the
// advanced export writes its file; the custom-trace and advanced export
// dialogs are rendered at 96 and 144 DPI.
//
// Every modal window is answered by the script below, every message box and
// file dialog by the application's scripted ones. Nothing here measures
// time: every wait is bounded by a state, with generous limits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <typeinfo>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/base/time_text.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/session.h"
#include "custom_traces/custom_scripts_index.h"
#include "custom_traces/ui/custom_script_editor.h"
#include "custom_traces/ui/custom_trace_dialog.h"
#include "platform/com/control_loader.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/registry_store.h"
#include "platform/ui/app_services.h"
#include "platform/ui/docking_pane.h"
#include "platform/ui/document_area.h"
#include "platform/ui/message_box.h"
#include "platform/ui/pane_manager.h"
#include "platform/ui/ribbon_bar.h"
#include "platform/ui/ribbon_status_bar.h"
#include "platform/ui/string_table.h"
#include "shell/app/about_dialog.h"
#include "shell/app/pelmora_app.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/app_frame_adapter.h"
#include "shell/frame/frame_application.h"
#include "shell/frame/frame_cameras.h"
#include "shell/frame/frame_collection.h"
#include "shell/frame/frame_markers.h"
#include "shell/frame/main_frame.h"
#include "shell/frame/main_frame_commands.h"
#include "shell/frame/status_elements.h"
#include "shell/glue/time_window.h"
#include "shell/program_controls.h"
#include "tests/e2e/program_on_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/recorded_video.h"
#include "tests/video/ui/simlab_camera_window.h"
#include "video/ui/camera_pane.h"
#include "video/ui/video_pane.h"
#include "views/data_sheet/ui/data_view.h"
#include "views/ui/action_view.h"
#include "views/ui/advanced_export_dialog.h"
#include "views/ui/trace_view_window.h"

namespace ORV {
namespace {

using namespace FrameCommand;
namespace fs = std::filesystem;
namespace D = AnalysisView::Dispid;

using E2E::FindWidget;
using E2E::PressureSamples;
using E2E::RunFor;
using E2E::WaitFor;
using E2E::ZoneRecords;

// Answers the modal windows the commands open. Each expected window is
// answered once, in order, by a script for its class. A window of another
// class (a progress or wait dialog, or one the program's standing answers
// take: the experiment's details, the workspace name, a marker's text, the
// CSV export's table choice) is left to end; one that stays is closed and
// counted.
class ModalScript {
 public:
  ModalScript() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(20);
  }
  template <class T>
  void Expect(std::function<void(T&)> answer) {
    pending_.push_back(Pending{typeid(T).name(), [answer](QWidget* widget) {
                                 auto* window = dynamic_cast<T*>(widget);
                                 if (window == nullptr) return false;
                                 answer(*window);
                                 return true;
                               }});
  }
  // The classes answered so far, oldest first.
  const std::vector<std::string>& Answered() const { return answered_; }
  template <class T>
  bool WasAnswered() const {
    return std::find(answered_.begin(), answered_.end(), typeid(T).name()) != answered_.end();
  }
  bool AllAnswered() const { return pending_.empty(); }
  void Forget() {
    pending_.clear();
    answered_.clear();
  }
  int closedUnexpected = 0;

 private:
  struct Pending {
    std::string type;
    std::function<bool(QWidget*)> answer;
  };
  void Tick() {
    if (busy_) return;  // an answer runs a modal loop of its own
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      stayed_ = 0;
      return;
    }
    busy_ = true;
    if (!pending_.empty() && pending_.front().answer(modal)) {
      answered_.push_back(pending_.front().type);
      pending_.erase(pending_.begin());
      stayed_ = 0;
    } else if (++stayed_ > 1500) {  // 30 s: nothing will end it
      ++closedUnexpected;
      ADD_FAILURE() << "an unexpected window stayed open: " << typeid(*modal).name();
      if (auto* dialog = dynamic_cast<QDialog*>(modal)) dialog->reject();
      stayed_ = 0;
    }
    busy_ = false;
  }
  QTimer timer_;
  std::vector<Pending> pending_;
  std::vector<std::string> answered_;
  bool busy_ = false;
  int stayed_ = 0;
};

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// A recording of 120 frames at 10 a second: frame i is grey level 2i, so
// the frame shown tells its index.
constexpr int kVideoFrames = 120;
constexpr int kVideoRate = 10;
constexpr int kVideoWidth = 160;
constexpr int kVideoHeight = 120;
bool WriteCountingRecording(const std::string& path) {
  avi_writer* writer = avi_open(path.c_str(), kVideoWidth, kVideoHeight, "MJPG", kVideoRate);
  if (writer == nullptr) return false;
  bool ok = true;
  for (int i = 0; i < kVideoFrames && ok; ++i) {
    const cv::Mat picture(kVideoHeight, kVideoWidth, CV_8UC3, cv::Scalar(2 * i, 2 * i, 2 * i));
    std::vector<unsigned char> jpeg;
    ok = cv::imencode(".jpg", picture, jpeg, {cv::IMWRITE_JPEG_QUALITY, 100}) &&
         avi_add_frame(writer, jpeg.data(), jpeg.size()) == 0;
  }
  return avi_close(writer) == 0 && ok;
}

// The program on the lab, and what the rows share.
class Program {
 public:
  Program() : started(lab.Start()), frame(lab.frame), app(lab.app) {}
  ~Program() {
    if (frame == nullptr) return;
    if (frame->Commands() != nullptr) frame->Commands()->SetApplication(nullptr);
    if (!frame->IsClosed()) frame->OnClose(false);
    app->ExitInstance(0);
  }

  UI::CommandRouter& Router() { return frame->Router(); }
  UI::RibbonBar& Ribbon() { return *frame->Ribbon(); }
  template <class T>
  T& Element(UI::CommandId id) {
    T* element = Ribbon().FindByID<T>(id);
    EXPECT_NE(element, nullptr) << id;
    return *element;
  }

  // Runs a command as its button does; false (and a failure) when it is
  // not enabled now.
  bool Run(UI::CommandId id) {
    Router().UpdateIdle();
    const bool enabled = Router().QueryState(id).enabled;
    EXPECT_TRUE(enabled) << "command " << id << " is disabled";
    if (!enabled) return false;
    EXPECT_TRUE(Router().Execute(id)) << "command " << id << " has no handler";
    Router().UpdateIdle();
    return true;
  }

  std::vector<UI::CChildFrame*> Documents(unsigned kind) {
    std::vector<UI::CChildFrame*> found;
    for (UI::CChildFrame* child : frame->Documents()->Frames())
      if (child->frameKind == kind && !child->IsClosed()) found.push_back(child);
    return found;
  }
  std::vector<Views::TraceViewWindow*> TraceWindows() {
    std::vector<Views::TraceViewWindow*> windows;
    for (UI::CChildFrame* child : Documents(UI::CChildFrame::kTraceView))
      if (auto* window = FindWidget<Views::TraceViewWindow>(*child)) windows.push_back(window);
    return windows;
  }
  Views::CPelmoraView& MainView() { return TraceWindows().front()->View(); }
  Views::CDataView* DataSheet() {
    for (UI::CChildFrame* child : Documents(UI::CChildFrame::kDataSheet))
      if (auto* view = FindWidget<Views::CDataView>(*child)) return view;
    return nullptr;
  }
  FrameCameraWnd& Camera(int i) { return *dynamic_cast<FrameCameraWnd*>(frame->CameraWindows().at(i)); }
  Video::CVideoPane& VideoPane(int i) { return *dynamic_cast<Video::CVideoPane*>(frame->PaneOf(PaneKind::Video, i)); }

  // The grey level of the middle of camera 0's shown frame: twice the
  // index of the recording's frame.
  int ShownFrame() {
    Com::Dispatcher control = Camera(0).Control();
    const std::int32_t size = control.Invoke<std::int32_t>(D::GetFrameDataSize);
    if (size <= 44) return -1;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (control.Invoke<std::int32_t>(D::GrabFrameData, bytes.data(), size) != size) return -1;
    const std::size_t stride = (kVideoWidth * 3 + 3) / 4 * 4;
    return static_cast<int>(std::lround(bytes[44 + stride * (kVideoHeight / 2) + 3 * (kVideoWidth / 2)] / 2.0));
  }
  bool VideoPaused() { return Camera(0).Control().Invoke<std::int16_t>(D::IsVideoPause) != 0; }

  // The custom trace the dialog saved, by name: its identity, or -1.
  int CustomTrace(const std::string& name) {
    for (const auto& [identity, traceName] : experiment.GetCustomTraces())
      if (traceName == name) return identity;
    return -1;
  }

  ORV::Test::TempDir work;
  ModalScript modals;
  // Its message boxes, file dialogs and standing answers outlive the
  // program, which asks them to the end.
  E2E::ProgramOnLab lab{2, "Bench"};
  UI::ScriptedMessageBoxes& boxes = lab.boxes;
  UI::ScriptedFileDialogs& dialogs = lab.dialogs;
  bool started;
  CMainFrame* frame;
  Shell::CPelmoraApp* app;
  Configuration& config = lab.configuration();
  ExperimentData& experiment = lab.experiment();

  // Shared by the rows.
  std::string saved;  // the experiment saved and opened again
  std::string video;  // the recording played
  std::uint32_t colors[3] = {0x123456, 0x00A0B0, 0x4080C0};
  int restarts = 0;
};

struct Row {
  UI::CommandId id;
  std::string effect;  // what the command must do
  std::function<void(Program&)> check;
};

// The commands the user is shown: every element of the ribbon's tabs and
// its File menu that the modes show, the colour buttons' picker and default
// entries, the recent files listed, and the status bar's buttons and
// navigation bar.
std::set<UI::CommandId> ShownCommands(Program& p) {
  std::set<UI::CommandId> ids;
  UI::RibbonModel& model = p.Ribbon().Model();
  for (UI::RibbonElement* element : model.AllElements()) {
    if (element->Id() == 0 || !model.IsShown(*element)) continue;
    ids.insert(element->Id());
    if (auto* color = dynamic_cast<UI::RibbonColorButton*>(element)) {
      ids.insert(color->PickerId());
      ids.insert(color->DefaultId());
    }
  }
  const auto& app = model.Application();
  for (std::size_t i = 0; i < model.RecentFiles().size(); ++i)
    ids.insert(app.recentFirst + static_cast<UI::CommandId>(i));
  UI::RibbonStatusBar& bar = *p.frame->StatusBar();
  const auto take = [&](UI::StatusBarElement* element) {
    if (element == nullptr || element->Id() == 0) return;
    if (element->GetKind() == UI::StatusBarElement::Kind::Button || element->Id() == CNavigationControllerBar::kId)
      ids.insert(element->Id());
  };
  for (int i = 0; i < bar.GetCount(); ++i) take(bar.GetElement(i));
  for (int i = 0; i < bar.GetExCount(); ++i) take(bar.GetExElement(i));
  return ids;
}

// A toggle of the configuration: the command flips it and its check follows.
Row Toggle(UI::CommandId id, std::string what, bool Configuration::*setting,
           std::function<bool(Program&)> follows = {}) {
  return {id, what + " switches on and off, and the check shows it", [id, setting, follows](Program& p) {
            for (int round = 0; round < 2; ++round) {
              const bool before = p.config.*setting;
              ASSERT_TRUE(p.Run(id));
              EXPECT_EQ(p.config.*setting, !before);
              EXPECT_EQ(p.Router().QueryState(id).checked, !before);
              if (follows) {
                EXPECT_TRUE(follows(p)) << "the cameras follow the switch";
              }
            }
          }};
}

std::uint32_t& ZoneColor(Configuration& config, int edge) {
  return edge == 0 ? config.ZoneBorderColor : edge == 1 ? config.ZoneOuterEdgeColor : config.ZoneInnerEdgeColor;
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  // ---------------- live, before any collection ----------------
  rows.push_back({Shell::ID_FILE_NEW, "a new trace window opens", [](Program& p) {
                    for (int n = 0; n < 2; ++n) {
                      const std::size_t before = p.TraceWindows().size();
                      ASSERT_TRUE(p.Run(Shell::ID_FILE_NEW));
                      EXPECT_EQ(p.TraceWindows().size(), before + 1);
                    }
                  }});
  rows.push_back({kCustomScripts,
                  "the custom-trace dialog opens; a trace saved there is in every trace view's list of kinds",
                  [](Program& p) {
                    p.modals.Expect<Traces::CustomTraceDialog>([](Traces::CustomTraceDialog& dialog) {
                      ORV::Test::SaveUiArtifact(dialog, "program_custom_trace_dialog_96");
                      dialog.NewButton()->click();
                      dialog.NameEdit()->setText(QStringLiteral("Double P1"));
                      dialog.Editor()->setText(QStringLiteral("return P1 * 2"));
                      dialog.SaveButton()->click();
                      ORV::Test::SaveUiArtifact(dialog, "program_custom_trace_dialog_saved_96");
                      dialog.reject();
                    });
                    ASSERT_TRUE(p.Run(kCustomScripts));
                    ASSERT_TRUE(WaitFor([&] { return p.modals.AllAnswered() && p.CustomTrace("Double P1") >= 0; }))
                        << "the frame took up the saved trace";
                    const auto index = Traces::LoadCustomScriptsIndex(Traces::CustomScriptsFolder());
                    ASSERT_EQ(index.size(), 1u) << "Scripts.xml lists the trace";
                    const int identity = p.CustomTrace("Double P1");
                    for (Views::TraceViewWindow* window : p.TraceWindows()) {
                      const auto menu = window->View().ContextMenu(0.0);
                      EXPECT_TRUE(std::any_of(menu.begin(), menu.end(), [](const Views::MenuItem& item) {
                        return item.text == "Double P1";
                      })) << "a trace view's kinds lack the new trace";
                    }
                    EXPECT_GE(identity, kFirstCustomTraceIdentity);
                    // The same dialog at 144 DPI, with the saved trace, for a look.
                    {
                      ORV::Test::ScopedDpi dpi(144);
                      p.modals.Expect<Traces::CustomTraceDialog>([](Traces::CustomTraceDialog& dialog) {
                        EXPECT_EQ(dialog.List()->count(), 1);
                        ORV::Test::SaveUiArtifact(dialog, "program_custom_trace_dialog_144");
                        dialog.reject();
                      });
                      ASSERT_TRUE(p.Run(kCustomScripts));
                      ASSERT_TRUE(WaitFor([&] { return p.modals.AllAnswered(); }));
                    }
                  }});
  rows.push_back(Toggle(kAutoThreshold, "Auto Threshold", &Configuration::AutoThreshold, [](Program& p) {
    return p.Camera(0).Model().AutoThreshold() == p.config.AutoThreshold &&
           p.Camera(1).Model().AutoThreshold() == p.config.AutoThreshold;
  }));
  rows.push_back(Toggle(kInvertImage, "Invert image", &Configuration::InvertImage));
  rows.push_back(Toggle(kIgnoreLumen, "Ignore Inner Diameter", &Configuration::IgnoreLumen));
  rows.push_back(Toggle(kSyncData, "Synchronise data", &Configuration::SynchroniseDataCollection));
  const UI::CommandId buttons[] = {kZoneBorderColor, kZoneOuterColor, kZoneInnerColor};
  const UI::CommandId wheels[] = {kZoneBorderWheel, kZoneOuterWheel, kZoneInnerWheel};
  const UI::CommandId defaults[] = {kZoneBorderDefault, kZoneOuterDefault, kZoneInnerDefault};
  for (int edge = 0; edge < 3; ++edge) {
    rows.push_back(
        {buttons[edge], "the colour picked on the ribbon becomes the zone colour", [edge, buttons](Program& p) {
           p.Element<UI::RibbonColorButton>(buttons[edge]).SetColor(p.colors[edge]);
           ASSERT_TRUE(p.Run(buttons[edge]));
           EXPECT_EQ(ZoneColor(p.config, edge), p.colors[edge]);
           EXPECT_EQ(p.Camera(0).Model().ZoneColors()[static_cast<std::size_t>(edge)], p.colors[edge]);
         }});
    rows.push_back({wheels[edge], "the colour dialog opens; its colour becomes the zone colour and the button's",
                    [edge, buttons, wheels](Program& p) {
                      p.modals.Expect<QColorDialog>([](QColorDialog& dialog) {
                        dialog.setCurrentColor(QColor(10, 20, 30));
                        dialog.accept();
                      });
                      ASSERT_TRUE(p.Run(wheels[edge]));
                      ASSERT_TRUE(p.modals.WasAnswered<QColorDialog>());
                      p.modals.Forget();
                      const std::uint32_t chosen = 10 | (20 << 8) | (30 << 16);
                      EXPECT_EQ(ZoneColor(p.config, edge), chosen);
                      EXPECT_EQ(p.Element<UI::RibbonColorButton>(buttons[edge]).GetColor(), chosen);
                    }});
    rows.push_back({defaults[edge], "the zone colour goes back to its default", [edge, buttons, defaults](Program& p) {
                      ASSERT_TRUE(p.Run(defaults[edge]));
                      const std::uint32_t def = p.config.DefaultZoneColors[static_cast<std::size_t>(edge)];
                      EXPECT_EQ(ZoneColor(p.config, edge), def);
                      EXPECT_EQ(p.Element<UI::RibbonColorButton>(buttons[edge]).GetColor(), def);
                    }});
  }
  rows.push_back({kRecordQuality, "the quality chosen sets the recording's scale factor", [](Program& p) {
                    auto& combo = p.Element<UI::RibbonComboBox>(kRecordQuality);
                    for (int item : {0, 2, 1}) {
                      combo.SelectItem(item);
                      ASSERT_TRUE(p.Run(kRecordQuality));
                      const std::uint16_t factors[] = {p.config.VideoRecordLowFactor, p.config.VideoRecordHighFactor,
                                                       p.config.VideoRecordMediumFactor};
                      EXPECT_EQ(p.config.VideoRecordFactor, factors[item == 0 ? 0 : item == 2 ? 1 : 2]) << item;
                    }
                  }});
  rows.push_back({kCameraCombo, "the camera chosen is the one the camera pane drives", [](Program& p) {
                    auto& combo = p.Element<UI::RibbonComboBox>(kCameraCombo);
                    auto* pane = dynamic_cast<Video::CCameraPane*>(p.frame->PaneOf(PaneKind::CameraPane));
                    ASSERT_NE(pane, nullptr);
                    for (int camera : {1, 0}) {
                      combo.SelectItem(camera);
                      ASSERT_TRUE(p.Run(kCameraCombo));
                      EXPECT_EQ(p.frame->CurrentCamera(), camera);
                      EXPECT_EQ(pane->Model().CameraIndex(), camera);
                    }
                  }});
  rows.push_back({ID_VIEW_CAMERA_BUTTON, "a closed camera window is shown again", [](Program& p) {
                    UI::DockingPane& pane = p.Camera(1).Pane();
                    p.frame->Panes().ShowPane(pane, false, false);
                    ASSERT_FALSE(p.frame->Panes().IsPaneVisible(pane));
                    ASSERT_TRUE(p.Run(ID_VIEW_CAMERA_BUTTON));
                    EXPECT_TRUE(p.frame->Panes().IsPaneVisible(pane));
                  }});
  rows.push_back({ID_RESET_BUTTON, "a moved pane goes back to its home side", [](Program& p) {
                    UI::DockingPane& pane = *p.frame->PaneOf(PaneKind::CameraPane);
                    p.frame->Panes().DockToFrameWindow(pane, UI::CBRS_ALIGN_RIGHT);
                    ASSERT_EQ(p.frame->Panes().DockedSide(pane), UI::CBRS_ALIGN_RIGHT);
                    ASSERT_TRUE(p.Run(ID_RESET_BUTTON));
                    EXPECT_EQ(p.frame->Panes().DockedSide(pane), UI::CBRS_ALIGN_LEFT);
                  }});
  rows.push_back(
      {ID_MARKER_SETTINGS_BUTTON, "the marker texts dialog opens; its text goes to the key's button", [](Program& p) {
         p.modals.Expect<CMarkerDlg>([](CMarkerDlg& dialog) {
           auto* text = dialog.findChild<QLineEdit*>(QString::number(CMarkerDlg::kIdText));
           ASSERT_NE(text, nullptr);
           text->setText(QStringLiteral("Drug A"));
           dialog.findChild<QPushButton*>(QString::number(UI::IDOK))->click();
         });
         ASSERT_TRUE(p.Run(ID_MARKER_SETTINGS_BUTTON));
         ASSERT_TRUE(p.modals.AllAnswered());
         EXPECT_EQ(p.config.HotKeys[0], "Drug A");
         EXPECT_EQ(p.Ribbon().FindByID(kFunctionKeyButtons[0])->Text(), "Drug A");
       }});
  rows.push_back({ID_SCALETIME_EDIT_TIME, "the span typed is the trace views' time window", [](Program& p) {
                    p.Element<UI::RibbonEdit>(ID_SCALETIME_EDIT_TIME).SetEditText("0:12");
                    ASSERT_TRUE(p.Run(ID_SCALETIME_EDIT_TIME));
                    EXPECT_EQ(p.config.TraceTimeSpan, 12);
                    for (Views::TraceViewWindow* window : p.TraceWindows()) {
                      EXPECT_EQ(window->View().WindowLength(), 12);
                    }
                  }});
  rows.push_back({kLiveTrace, "the trace views stop following the live data and follow it again", [](Program& p) {
                    for (const bool expected : {false, true}) {
                      ASSERT_TRUE(p.Run(kLiveTrace));
                      EXPECT_EQ(p.config.LiveTrace, expected);
                      for (Views::TraceViewWindow* window : p.TraceWindows()) {
                        EXPECT_EQ(window->View().Live(), expected);
                      }
                    }
                  }});
  rows.push_back(Toggle(kSelectAllTraces, "Select all traces", &Configuration::SelectAllTraces));
  rows.push_back({kAutoRange, "the main view's automatic range is applied and held", [](Program& p) {
                    // The main view shows the inlet pressure from here on.
                    p.MainView().OnShowTraceKind(kTraceInlet);
                    const bool before = p.MainView().UseAutoRange() && p.MainView().AutoRangeNow();
                    for (const bool expected : {!before, before}) {
                      ASSERT_TRUE(p.Run(kAutoRange));
                      EXPECT_EQ(p.MainView().UseAutoRange() && p.MainView().AutoRangeNow(), expected);
                      EXPECT_EQ(p.Router().QueryState(kAutoRange).checked, expected);
                    }
                  }});
  rows.push_back({kShowActionSheet, "the action sheet opens", [](Program& p) {
                    for (UI::CChildFrame* sheet : p.Documents(UI::CChildFrame::kActionSheet)) sheet->close();
                    ASSERT_TRUE(WaitFor([&] { return p.Documents(UI::CChildFrame::kActionSheet).empty(); }));
                    ASSERT_TRUE(p.Run(kShowActionSheet));
                    const auto sheets = p.Documents(UI::CChildFrame::kActionSheet);
                    ASSERT_EQ(sheets.size(), 1u);
                    EXPECT_NE(FindWidget<Views::CActionView>(*sheets.front()), nullptr);
                  }});
  rows.push_back({kShowDataSheet, "the data sheet opens", [](Program& p) {
                    ASSERT_EQ(p.DataSheet(), nullptr);
                    ASSERT_TRUE(p.Run(kShowDataSheet));
                    EXPECT_NE(p.DataSheet(), nullptr);
                  }});
  rows.push_back({kRecordVideo, "video recording switches off and on, and the check shows it", [](Program& p) {
                    for (int round = 0; round < 2; ++round) {
                      const bool before = p.config.VideoRecordingEnabled;
                      ASSERT_TRUE(p.Run(kRecordVideo));
                      EXPECT_EQ(p.config.VideoRecordingEnabled, !before);
                      EXPECT_EQ(p.Router().QueryState(kRecordVideo).checked, !before);
                    }
                    // The collection records its video.
                    if (!p.config.VideoRecordingEnabled) {
                      ASSERT_TRUE(p.Run(kRecordVideo));
                    }
                  }});

  // ---------------- a collection ----------------
  rows.push_back({ID_START_STOP_BUTTON, "a data collection starts", [](Program& p) {
                    // Both cameras capture and measure a zone across the vessel.
                    for (int camera : {1, 0}) p.frame->ConnectCamera(camera, {});
                    for (int camera : {0, 1}) {
                      FrameCameraWnd& window = p.Camera(camera);
                      ASSERT_TRUE(window.IsCapturing()) << camera;
                      ASSERT_TRUE(WaitFor(
                          [&] { return window.Model().VideoWidth() > 0 && window.ControlWidget()->width() > 100; }));
                      QWidget* video = window.ControlWidget();
                      const double w = video->width(), h = video->height();
                      ORV::Test::DragOnControl(video, {w * 0.06, h * 0.4}, {w * 0.94, h * 0.55});
                      ASSERT_TRUE(WaitFor([&] { return window.Model().ZoneCount() > 0; }));
                    }
                    ASSERT_TRUE(p.Run(ID_START_STOP_BUTTON));
                    EXPECT_EQ(p.experiment.mode.load(), kModeLive);
                    EXPECT_EQ(p.Ribbon().FindByID(ID_START_STOP_BUTTON)->Text(), UI::LoadString(UI::kStopString));
                    ASSERT_TRUE(WaitFor([&] {
                      return PressureSamples(p.experiment) >= 20 && ZoneRecords(p.experiment, 0) >= 20 &&
                             ZoneRecords(p.experiment, 1) >= 20;
                    }));
                  }});
  for (int k = 0; k < kFunctionKeys; ++k) {
    rows.push_back({kFunctionKeyButtons[k], "a marker with the key's text on each camera", [k](Program& p) {
                      p.config.HotKeys[k] = "Key " + std::to_string(k + 1);
                      const std::size_t before = p.experiment.MarkerCount();
                      ASSERT_TRUE(p.Run(kFunctionKeyButtons[k]));
                      ASSERT_EQ(p.experiment.MarkerCount(), before + 2);
                      EXPECT_EQ(p.experiment.GetMarker(before).text, p.config.HotKeys[k]);
                    }});
  }
  rows.push_back({IDC_ADD_MARKER_BUTTON, "the comment dialog opens; its text is a marker", [](Program& p) {
                    // The program's standing answers type "Added".
                    const int asked = p.lab.answers.markerTexts;
                    const std::size_t before = p.experiment.MarkerCount();
                    ASSERT_TRUE(p.Run(IDC_ADD_MARKER_BUTTON));
                    ASSERT_TRUE(WaitFor([&] { return p.lab.answers.markerTexts == asked + 1; }));
                    ASSERT_GT(p.experiment.MarkerCount(), before);
                    EXPECT_EQ(p.experiment.GetMarker(p.experiment.MarkerCount() - 1).text, "Added");
                  }});
  rows.push_back({ID_PAUSE_BUTTON, "the collection pauses and resumes", [](Program& p) {
                    ASSERT_TRUE(p.Run(ID_PAUSE_BUTTON));
                    EXPECT_TRUE(WaitFor([&] { return !p.experiment.ExperimentClock().IsRunning(); }));
                    ASSERT_TRUE(p.Run(ID_PAUSE_BUTTON));
                    EXPECT_TRUE(p.experiment.ExperimentClock().IsRunning());
                    EXPECT_EQ(p.experiment.mode.load(), kModeLive);
                  }});
  rows.push_back({kTraceExportCombo, "the summary chosen is remembered for the next start", [](Program& p) {
                    auto& combo = p.Element<UI::RibbonComboBox>(kTraceExportCombo);
                    combo.SelectItem(1);
                    ASSERT_TRUE(p.Run(kTraceExportCombo));
                    EXPECT_EQ(p.config.LastUsedAnalysisExportType, 1);
                    combo.SelectItem(0);
                    ASSERT_TRUE(p.Run(kTraceExportCombo));
                    EXPECT_EQ(p.config.LastUsedAnalysisExportType, 0);
                  }});
  rows.push_back({kDataExport, "the selected range's values go to the data sheet", [](Program& p) {
                    Views::CPelmoraView& view = p.TraceWindows().back()->View();
                    view.OnShowTraceKind(kTraceInlet);
                    RunFor(300);
                    view.SelectRange(0.5, 1.5);
                    view.OnGraphSelectTrace(0.5, 1.5);
                    ASSERT_TRUE(p.Run(kDataExport));
                    ASSERT_TRUE(
                        WaitFor([&] { return p.DataSheet() != nullptr && p.DataSheet()->Model().HasTables(); }));
                  }});
  rows.push_back({kCopyClipboard, "the active trace view's graph is on the clipboard", [](Program& p) {
                    QApplication::clipboard()->clear();
                    p.frame->Documents()->setActiveSubWindow(p.Documents(UI::CChildFrame::kTraceView).front());
                    ASSERT_TRUE(p.Run(kCopyClipboard));
                    const QMimeData* copied = QApplication::clipboard()->mimeData();
                    ASSERT_NE(copied, nullptr);
                    QImage picture;
                    ASSERT_TRUE(picture.loadFromData(copied->data("image/png"), "PNG"));
                    EXPECT_GT(picture.width(), 100);
                  }});
  rows.push_back(
      {ID_STATUS_START_BUTTON, "the status bar's Stop ends the collection", [](Program& p) {
         // The custom trace is plotted from the live data: twice
         // the inlet pressure.
         Views::CPelmoraView& view = p.TraceWindows().front()->View();
         const int identity = p.CustomTrace("Double P1");
         ASSERT_TRUE(view.OnCommand(Views::kCmdFirstCustomTrace + identity - kFirstCustomTraceIdentity));
         EXPECT_EQ(view.TraceCode(), identity);
         ASSERT_TRUE(WaitFor([&] { return view.LastPlottedValue() > 60.0; })) << "plotted " << view.LastPlottedValue();
         const double p1 = p.experiment.Read([](const ExperimentContents& c) { return c.lastPressure.p1; });
         EXPECT_NEAR(view.LastPlottedValue(), 2.0 * p1, 10.0);
         RunFor(500);

         p.boxes.Answer(UI::IDYES);
         ASSERT_TRUE(p.Run(ID_STATUS_START_BUTTON));
         EXPECT_EQ(p.experiment.mode.load(), kModeNone);
         EXPECT_EQ(p.frame->StatusBar()->FindElement(ID_STATUS_START_BUTTON)->Text(), UI::LoadString(UI::kStartString));
       }});

  // ---------------- the recorded experiment, live ----------------
  rows.push_back({Views::CDataView::kExportCsvCommand, "the table choice opens; the chosen table is written as CSV",
                  [](Program& p) {
                    const std::string csv = p.work / "sheet.csv";
                    p.dialogs.Answer(csv);
                    // The program's standing answers choose the first table
                    // offered.
                    const int asked = p.lab.answers.csvExports;
                    ASSERT_TRUE(p.Run(Views::CDataView::kExportCsvCommand));
                    EXPECT_EQ(p.lab.answers.csvExports, asked + 1);
                    ASSERT_TRUE(fs::exists(csv));
                    EXPECT_FALSE(FirstLine(csv).empty());
                  }});
  rows.push_back({Views::CDataView::kExportExcelCommand, "the data sheet is written as a workbook", [](Program& p) {
                    const std::string workbook = p.work / "sheet.xlsx";
                    p.DataSheet()->chooseWorkbookPath = [workbook] { return std::optional<std::string>(workbook); };
                    p.DataSheet()->openWorkbook = [](const std::string&) {};
                    ASSERT_TRUE(p.Run(Views::CDataView::kExportExcelCommand));
                    ASSERT_TRUE(fs::exists(workbook));
                    EXPECT_GT(fs::file_size(workbook), 1000u);
                  }});
  rows.push_back({Views::CDataView::kClearCommand, "after Yes the data sheet is empty", [](Program& p) {
                    p.boxes.Answer(UI::IDYES);
                    ASSERT_TRUE(p.Run(Views::CDataView::kClearCommand));
                    EXPECT_FALSE(p.DataSheet()->Model().HasTables());
                  }});
  rows.push_back({kFileSaveAs, "the details are asked and the experiment is written to the file named", [](Program& p) {
                    p.saved = p.work / "vessel.tvx";
                    p.dialogs.Answer(p.work / "vessel");
                    const int details = p.lab.answers.experimentDetails;
                    ASSERT_TRUE(p.Run(kFileSaveAs));
                    EXPECT_EQ(p.lab.answers.experimentDetails, details + 1);
                    ASSERT_TRUE(fs::exists(p.saved));
                    EXPECT_FALSE(p.experiment.modified.load());
                  }});
  rows.push_back({kAdvancedExport,
                  "the advanced export opens and writes the chosen traces, the custom trace among them",
                  [](Program& p) {
                    const std::string csv = p.work / "advanced.csv";
                    p.dialogs.Answer(csv);
                    p.modals.Expect<Views::CAdvancedExportDialog>([](Views::CAdvancedExportDialog& dialog) {
                      ORV::Test::SaveUiArtifact(dialog, "program_advanced_export_dialog_96");
                      QListWidget& traces = *dialog.TraceList();
                      for (const QString& name : {QStringLiteral("Double P1"), UI::LoadQString(16 + kTraceInlet)}) {
                        const auto found = traces.findItems(name, Qt::MatchExactly);
                        ASSERT_EQ(found.size(), 1) << name.toStdString();
                        traces.setCurrentItem(found.front());
                        dialog.AddButton()->click();
                      }
                      ORV::Test::SaveUiArtifact(dialog, "program_advanced_export_dialog_chosen_96");
                      dialog.ExportButton()->click();
                    });
                    ASSERT_TRUE(p.Run(kAdvancedExport));
                    ASSERT_TRUE(WaitFor([&] { return p.modals.AllAnswered(); }));
                    ASSERT_TRUE(fs::exists(csv));
                    const std::string header = FirstLine(csv);
                    EXPECT_EQ(header.rfind("Double P1 (Time);Double P1 (Value);", 0), 0u) << header;
                    std::ifstream in(csv);
                    std::string line;
                    int lines = 0;
                    while (std::getline(in, line)) ++lines;
                    EXPECT_GT(lines, 10) << "the samples follow the header";
                    {
                      ORV::Test::ScopedDpi dpi(144);
                      p.modals.Expect<Views::CAdvancedExportDialog>([](Views::CAdvancedExportDialog& dialog) {
                        ORV::Test::SaveUiArtifact(dialog, "program_advanced_export_dialog_144");
                        dialog.reject();
                      });
                      ASSERT_TRUE(p.Run(kAdvancedExport));
                      ASSERT_TRUE(WaitFor([&] { return p.modals.AllAnswered(); }));
                    }
                  }});
  rows.push_back({kSaveSettings, "the workspace name is asked and the settings archive is written", [](Program& p) {
                    const std::string archive = p.work / "bench.orvsettings";
                    const int asked = p.lab.answers.workspaceNames;
                    p.dialogs.Answer(archive);
                    ASSERT_TRUE(p.Run(kSaveSettings));
                    EXPECT_EQ(p.lab.answers.workspaceNames, asked + 1);
                    EXPECT_TRUE(fs::exists(archive));
                    EXPECT_EQ(p.config.CustomUserWorkSpaceName, "Bench");
                  }});

  // ---------------- a video file ----------------
  rows.push_back({kPlayVideo, "camera window 0 plays the file, shown, with the analysis prepared", [](Program& p) {
                    p.video = p.work / "counting.avi";
                    ASSERT_TRUE(WriteCountingRecording(p.video));
                    UI::DockingPane& pane = p.Camera(0).Pane();
                    p.frame->Panes().ShowPane(pane, false, false);
                    // Camera 1 is out of step with the switch: the
                    // preparation gives it the switch again.
                    p.Camera(1).Model().EnableAutoThreshold(!p.config.AutoThreshold);
                    p.dialogs.Answer(p.video);
                    ASSERT_TRUE(p.Run(kPlayVideo));
                    EXPECT_TRUE(p.Camera(0).IsVideoPlaying());
                    EXPECT_TRUE(p.experiment.videoEnabled.load());
                    EXPECT_TRUE(p.frame->Panes().IsPaneVisible(pane)) << "the playing window is shown";
                    EXPECT_EQ(p.Camera(1).Model().AutoThreshold(), p.config.AutoThreshold);
                    EXPECT_FALSE(p.config.VideoRecordingEnabled) << "recording goes off while a file plays";
                  }});
  rows.push_back({kVideoPause, "the video holds its frame", [](Program& p) {
                    ASSERT_TRUE(WaitFor([&] { return p.ShownFrame() >= 1; }));
                    ASSERT_TRUE(p.Run(kVideoPause));
                    EXPECT_TRUE(p.VideoPaused());
                  }});
  rows.push_back({kVideoStep, "the paused video moves on by one frame", [](Program& p) {
                    const int before = p.ShownFrame();
                    ASSERT_TRUE(p.Run(kVideoStep));
                    EXPECT_TRUE(WaitFor([&] { return p.ShownFrame() == before + 1; }, 10000))
                        << before << " then " << p.ShownFrame();
                  }});
  rows.push_back({kVideoGoto, "the video shows the time typed", [](Program& p) {
                    p.Element<UI::RibbonEdit>(kVideoGoto).SetEditText("0:05");
                    ASSERT_TRUE(p.Run(kVideoGoto));
                    EXPECT_TRUE(WaitFor([&] { return std::abs(p.ShownFrame() - 5 * kVideoRate) <= 1; }, 10000))
                        << p.ShownFrame();
                    EXPECT_TRUE(p.Element<UI::RibbonEdit>(kVideoGoto).GetEditText().empty());
                  }});
  rows.push_back({kVideoForward, "the video moves forward", [](Program& p) {
                    const int before = p.ShownFrame();
                    ASSERT_TRUE(p.Run(kVideoForward));
                    EXPECT_TRUE(WaitFor([&] { return p.ShownFrame() > before; }, 10000)) << before;
                  }});
  rows.push_back({kVideoBackward, "the video moves back", [](Program& p) {
                    const int before = p.ShownFrame();
                    ASSERT_TRUE(p.Run(kVideoBackward));
                    EXPECT_TRUE(WaitFor([&] { return p.ShownFrame() < before; }, 10000)) << before;
                  }});
  rows.push_back({kVideoResume, "the paused video plays on", [](Program& p) {
                    ASSERT_TRUE(p.Run(kVideoResume));
                    EXPECT_FALSE(p.VideoPaused());
                  }});

  // ---------------- the saved experiment, opened ----------------
  rows.push_back({kFileOpen, "the experiment file chosen is shown, with its custom trace", [](Program& p) {
                    const std::size_t pressures = PressureSamples(p.experiment);
                    p.dialogs.Answer(p.saved);
                    ASSERT_TRUE(p.Run(kFileOpen));
                    ASSERT_EQ(p.experiment.mode.load(), kModeFile);
                    EXPECT_EQ(PressureSamples(p.experiment), pressures);
                    EXPECT_FALSE(p.Camera(0).IsVideoPlaying()) << "the open ends the video file's playback";
                    // The trace windows saved with it come back, one of them
                    // on the custom trace, which came with the file.
                    const auto windows = p.TraceWindows();
                    const auto custom = std::find_if(windows.begin(), windows.end(), [&](Views::TraceViewWindow* w) {
                      return w->View().TraceCode() >= kFirstCustomTraceIdentity;
                    });
                    ASSERT_NE(custom, windows.end()) << "no trace window shows the custom trace";
                    ASSERT_NE((*custom)->View().CustomTrace(), nullptr);
                    EXPECT_EQ((*custom)->View().CustomTrace()->GetTrace()->Name, "Double P1");
                    EXPECT_EQ((*custom)->View().CustomTrace()->GetTrace()->Code, "return P1 * 2");
                    for (int camera = 0; camera < 2; ++camera)
                      EXPECT_TRUE(p.VideoPane(camera).Images().Model().VideoLoaded()) << camera;
                  }});
  rows.push_back({kFileSave, "the changed experiment is written to its own file", [](Program& p) {
                    p.experiment.AddMarker("Checked", p.experiment.startTick.load() + 500, 0);
                    ASSERT_TRUE(p.experiment.modified.load());
                    const auto before = fs::last_write_time(p.saved);
                    const std::size_t asked = p.dialogs.Asked().size();
                    ASSERT_TRUE(p.Run(kFileSave));
                    EXPECT_GT(fs::last_write_time(p.saved), before);
                    EXPECT_EQ(p.dialogs.Asked().size(), asked) << "no file dialog";
                    EXPECT_FALSE(p.experiment.modified.load());
                  }});
  rows.push_back(
      {kRecentFileFirst, "the File menu lists the opened experiment, and choosing it opens it", [](Program& p) {
         ASSERT_FALSE(p.frame->RecentFiles().empty());
         EXPECT_EQ(p.frame->RecentFiles().front(), p.saved);
         QMenu& menu = *p.Ribbon().ApplicationMenu();
         const auto actions = menu.actions();
         EXPECT_TRUE(std::any_of(actions.begin(), actions.end(), [](QAction* a) {
           return a->text().contains(QStringLiteral("vessel.tvx")) && a->isEnabled();
         })) << "the menu does not list it";
         ASSERT_TRUE(p.Run(kFileClose));
         ASSERT_EQ(p.experiment.mode.load(), kModeNone);
         ASSERT_TRUE(p.Run(kRecentFileFirst));
         EXPECT_EQ(p.experiment.mode.load(), kModeFile);
         EXPECT_EQ(p.experiment.Read([](const ExperimentContents& c) { return c.filePath; }), p.saved);
       }});
  rows.push_back({Shell::ID_TIMESPAN_EDIT, "the views and the slider move to the position typed", [](Program& p) {
                    p.Element<UI::RibbonEdit>(Shell::ID_TIMESPAN_EDIT).SetEditText("0:02");
                    ASSERT_TRUE(p.Run(Shell::ID_TIMESPAN_EDIT));
                    EXPECT_EQ(p.Element<UI::RibbonSlider>(Shell::ID_TIMESPAN_SLIDER).GetPos(), 2);
                    EXPECT_DOUBLE_EQ(p.MainView().XMin(), 2.0);
                  }});
  rows.push_back({Shell::ID_TIMESPAN_SLIDER, "the views and the position follow the slider", [](Program& p) {
                    p.Element<UI::RibbonSlider>(Shell::ID_TIMESPAN_SLIDER).SetPos(1);
                    ASSERT_TRUE(p.Run(Shell::ID_TIMESPAN_SLIDER));
                    EXPECT_DOUBLE_EQ(p.MainView().XMin(), 1.0);
                    EXPECT_EQ(p.Element<UI::RibbonEdit>(Shell::ID_TIMESPAN_EDIT).GetEditText(), FormatTimeSeconds(1));
                  }});
  rows.push_back({CNavigationControllerBar::kId, "a double click on the navigation bar moves the time window there",
                  [](Program& p) {
                    CNavigationControllerBar& bar = *p.frame->NavigationBar();
                    ASSERT_TRUE(bar.IsVisible());
                    p.Element<UI::RibbonSlider>(Shell::ID_TIMESPAN_SLIDER).SetPos(0);
                    ASSERT_TRUE(p.Run(Shell::ID_TIMESPAN_SLIDER));
                    // A point three quarters into the record (past its end
                    // the bar shows one more time window, where a click
                    // means nothing).
                    const QRect r = bar.Rect();
                    const NavigationRange range = bar.Range();
                    const double lateSecond = range.start + (range.end - range.start) * 0.75;
                    const QPoint late(
                        r.left() + 2 + static_cast<int>(std::lround((lateSecond - range.start) * bar.Geometry().scale)),
                        r.center().y());
                    ASSERT_TRUE(bar.PositionAt(late).has_value())
                        << "range " << range.start << "-" << range.end << " window " << range.windowLength << " rect "
                        << r.left() << "," << r.width();
                    p.frame->StatusBar()->OnLButtonDblClk(late);
                    EXPECT_GT(p.Element<UI::RibbonSlider>(Shell::ID_TIMESPAN_SLIDER).GetPos(), 0);
                    EXPECT_GT(p.MainView().XMin(), 0.0);
                  }});
  rows.push_back({Shell::ID_EXPAND_VIEW_BUTTON, "the selected range fills the views", [](Program& p) {
                    Views::CPelmoraView& view = p.MainView();
                    view.SelectRange(1.0, 4.0);
                    view.OnGraphSelectTrace(1.0, 4.0);
                    ASSERT_TRUE(p.Run(Shell::ID_EXPAND_VIEW_BUTTON));
                    EXPECT_EQ(p.config.TraceTimeSpan, 3);
                    EXPECT_DOUBLE_EQ(p.MainView().XMin(), 1.0);
                  }});
  rows.push_back({Shell::ID_SCALETIME_BTN_x2, "the views zoom in on the middle of their window", [](Program& p) {
                    const int span = p.config.TraceTimeSpan;
                    ASSERT_TRUE(p.Run(Shell::ID_SCALETIME_BTN_x2));
                    EXPECT_LT(p.config.TraceTimeSpan, span);
                    EXPECT_LT(p.MainView().XMax() - p.MainView().XMin(), span);
                  }});
  rows.push_back({Shell::ID_SCALETIME_BTN_DIVIDE2, "the views go back to the window before the zoom", [](Program& p) {
                    ASSERT_TRUE(p.Run(Shell::ID_SCALETIME_BTN_DIVIDE2));
                    EXPECT_EQ(p.config.TraceTimeSpan, 3);
                    EXPECT_DOUBLE_EQ(p.MainView().XMin(), 1.0);
                  }});
  rows.push_back({kFileClose, "the experiment closes and the video panes let go of its video", [](Program& p) {
                    ASSERT_TRUE(p.frame->Panes().IsPaneVisible(p.VideoPane(0)));
                    ASSERT_TRUE(p.Run(kFileClose));
                    EXPECT_EQ(p.experiment.mode.load(), kModeNone);
                    for (int k = 0; k < 4; ++k) {
                      Video::CVideoPane& pane = p.VideoPane(k);
                      EXPECT_FALSE(p.frame->Panes().IsPaneVisible(pane)) << k;
                      EXPECT_EQ(pane.Images().Model().Camera(), -1) << k;
                      EXPECT_FALSE(pane.Images().Model().VideoLoaded()) << k;
                    }
                  }});

  // ---------------- the program itself ----------------
  rows.push_back(
      {Shell::ID_APP_ABOUT, "the about box opens; its start-up switch is the program's setting", [](Program& p) {
         const bool before = p.config.FreshetCheckEnabled;
         p.modals.Expect<Shell::CAboutDlg>([&](Shell::CAboutDlg& dialog) {
           EXPECT_FALSE(dialog.VersionLabel()->text().isEmpty());
           EXPECT_EQ(dialog.StartupCheckBox()->isChecked(), before);
           dialog.StartupCheckBox()->click();
           dialog.CloseButton()->click();
         });
         ASSERT_TRUE(p.Run(Shell::ID_APP_ABOUT));
         EXPECT_TRUE(p.modals.WasAnswered<Shell::CAboutDlg>());
         EXPECT_EQ(p.config.FreshetCheckEnabled, !before);
         p.config.FreshetCheckEnabled = before;
       }});
  rows.push_back({kLoadSettings, "the restart is announced; Cancel keeps the settings, OK imports them and restarts",
                  [](Program& p) {
                    const std::string archive = p.work / "bench.orvsettings";
                    p.config.CustomUserWorkSpaceName = "Changed since";
                    p.config.Save();
                    // The restart is the test's: it plays the new program by
                    // reading the settings again.
                    auto* fileHost = dynamic_cast<FrameFileHost*>(p.app->Frame()->FileHost());
                    ASSERT_NE(fileHost, nullptr);
                    Shell::CPelmoraApp* app = p.app;
                    FrameApplicationLink link(
                        *fileHost, [app] { return app->FileCommands(); }, [&p] { ++p.restarts; });
                    p.frame->Commands()->SetApplication(&link);
                    const std::size_t shown = p.boxes.Shown().size();
                    p.dialogs.Answer(archive);
                    p.boxes.Answer(UI::IDCANCEL);
                    ASSERT_TRUE(p.Run(kLoadSettings));
                    ASSERT_EQ(p.boxes.Shown().size(), shown + 1);
                    EXPECT_TRUE(p.boxes.Shown().back().text.contains(QStringLiteral("restarts")))
                        << p.boxes.Shown().back().text.toStdString();
                    EXPECT_EQ(p.restarts, 0);
                    p.config.Load();
                    EXPECT_EQ(p.config.CustomUserWorkSpaceName, "Changed since") << "nothing imported";

                    p.dialogs.Answer(archive);
                    p.boxes.Answer(UI::IDOK);
                    ASSERT_TRUE(p.Run(kLoadSettings));
                    EXPECT_EQ(p.restarts, 1);
                    p.config.Load();
                    EXPECT_EQ(p.config.CustomUserWorkSpaceName, "Bench") << "the archive's settings";
                    p.frame->Commands()->SetApplication(nullptr);
                  }});
  // Quit ends the program through the close question; its Yes and No are
  // the main window test's, here Cancel keeps everything.
  rows.push_back({ID_APP_EXIT, "Quit asks about the changed experiment, and Cancel keeps the program", [](Program& p) {
                    ExperimentData& experiment = p.lab.experiment();
                    const bool modified = experiment.modified.load();
                    experiment.modified = true;
                    const std::size_t shown = p.boxes.Shown().size();
                    p.boxes.Answer(UI::IDCANCEL);
                    ASSERT_TRUE(p.Run(ID_APP_EXIT));
                    ASSERT_EQ(p.boxes.Shown().size(), shown + 1);
                    EXPECT_EQ(p.boxes.Shown().back().type & 0xF, UI::MB_YESNOCANCEL);
                    EXPECT_FALSE(p.frame->IsClosed());
                    EXPECT_TRUE(p.frame->isVisible());
                    EXPECT_TRUE(experiment.modified.load());
                    experiment.modified = modified;
                  }});
  return rows;
}

TEST(EveryCommand, DoesWhatItSaysOnTheWholeProgram) {
  Program p;
  ASSERT_TRUE(p.started);
  ASSERT_EQ(p.frame->CameraCount(), 2);
  ASSERT_TRUE(WaitFor([&] { return p.frame->StartupChainDone(); }));

  std::set<UI::CommandId> covered;
  for (const Row& row : Rows()) {
    SCOPED_TRACE("command " + std::to_string(row.id) + ": " + row.effect);
    const int unscripted = p.boxes.Unscripted();
    const std::size_t shown = p.boxes.Shown().size();
    row.check(p);
    if (p.boxes.Unscripted() != unscripted) {
      for (std::size_t i = shown; i < p.boxes.Shown().size(); ++i)
        ADD_FAILURE() << "a message box nobody expected: " << p.boxes.Shown()[i].text.toStdString();
    }
    EXPECT_TRUE(p.modals.AllAnswered()) << "an expected window did not open";
    p.modals.Forget();
    covered.insert(row.id);
    if (::testing::Test::HasFatalFailure()) break;
  }
  ORV::Test::SaveUiArtifact(*p.frame, "every_command_end");

  // Every command shown has its row.
  for (const UI::CommandId id : ShownCommands(p))
    EXPECT_TRUE(covered.count(id)) << "command " << id << " is shown but has no row in the table";
  EXPECT_EQ(p.modals.closedUnexpected, 0);
}

}  // namespace
}  // namespace ORV
