#pragma once
// Steps the end-to-end tests of the faults and their probe program take with
// the whole program on the simulated lab (the waits and dialog answers are
// the whole-program tests' own, program_on_lab.h): zones drawn in every
// camera, the record read.
// Nothing here measures time: every wait is bounded by a state, with a
// generous limit for a loaded machine.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/experiment/experiment_data.h"
#include "platform/ui/focus_edit.h"
#include "platform/ui/icon_button.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/frame_cameras.h"
#include "shell/frame/main_frame.h"
#include "shell/frame_plan.h"
#include "tests/e2e/program_on_lab.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/ui/simlab_camera_window.h"
#include "video/ui/camera_pane.h"

namespace ORV::E2E {

// The times of the record's samples of one kind.
inline std::vector<std::uint32_t> PressureTimes(ExperimentData& e) {
  return e.Read([](const ExperimentContents& c) {
    std::vector<std::uint32_t> t;
    for (std::size_t i = 0; i < c.pressureSamples.size(); ++i) t.push_back(c.pressureSamples[i].time);
    return t;
  });
}
inline std::vector<std::uint32_t> FlowTimes(ExperimentData& e) {
  return e.Read([](const ExperimentContents& c) {
    std::vector<std::uint32_t> t;
    for (std::size_t i = 0; i < c.flowSamples.size(); ++i) t.push_back(c.flowSamples[i].time);
    return t;
  });
}
inline std::vector<std::uint32_t> ZoneTimes(ExperimentData& e, int camera) {
  return e.Read([camera](const ExperimentContents& c) {
    std::vector<std::uint32_t> t;
    for (std::size_t i = 0; i < c.zoneData[camera].size(); ++i) t.push_back(c.zoneData[camera][i].time);
    return t;
  });
}
inline std::vector<std::uint32_t> MicroscopeTimes(ExperimentData& e, int camera) {
  return e.Read([camera](const ExperimentContents& c) {
    std::vector<std::uint32_t> t;
    for (std::size_t i = 0; i < c.microscopeData[camera].size(); ++i) t.push_back(c.microscopeData[camera][i].time);
    return t;
  });
}
// The record's actions, in their order.
inline std::vector<ActionData> Actions(ExperimentData& e) {
  return e.WithStores([](MarkerStore&, ActionStore& actions) {
    std::vector<ActionData> out;
    for (std::size_t i = 0; i < actions.Count(); ++i) out.push_back(actions.Get(i));
    return out;
  });
}
// The newest action whose text begins with `head`; nothing when there is
// none.
inline std::optional<ActionData> ActionStarting(ExperimentData& e, const std::string& head) {
  std::optional<ActionData> newest;
  for (const ActionData& a : Actions(e))
    if (a.text.rfind(head, 0) == 0) newest = a;
  return newest;
}

// Every camera captures and has one zone across the vessel; false when a
// step did not happen in time.
inline bool CaptureAndDrawZones(CMainFrame& frame) {
  auto* cameraPane = dynamic_cast<Video::CCameraPane*>(frame.PaneOf(PaneKind::CameraPane));
  if (cameraPane == nullptr) return false;
  for (int camera = static_cast<int>(frame.CameraWindows().size()) - 1; camera >= 0; --camera) {
    if (!frame.AttachCameraPane(camera)) return false;
    if (!frame.CameraWindows()[camera]->IsCapturing()) cameraPane->CaptureButton()->click();
    if (!frame.CameraWindows()[camera]->IsCapturing()) return false;
  }
  for (CameraWindow* window : frame.CameraWindows()) {
    auto* wnd = dynamic_cast<FrameCameraWnd*>(window);
    if (wnd == nullptr) return false;
    if (!WaitFor([&] { return wnd->Model().VideoWidth() > 0 && wnd->ControlWidget()->width() > 100; })) return false;
    QWidget* video = wnd->ControlWidget();
    const double w = video->width(), h = video->height();
    ORV::Test::DragOnControl(video, {w * 0.06, h * 0.4}, {w * 0.94, h * 0.55});
    if (!WaitFor([&] { return wnd->Model().ZoneCount() > 0; })) return false;
  }
  return true;
}

}  // namespace ORV::E2E
