#include "shell/glue/ui/ribbon_time_window.h"

#include "core/experiment/experiment_data.h"
#include "platform/ui/command_router.h"
#include "platform/ui/message_box.h"
#include "platform/ui/ribbon_model.h"
#include "platform/ui/string_table.h"
#include "shell/glue/trace_glue.h"

namespace ORV::Shell {

RibbonTimeWindowHost::RibbonTimeWindowHost(UI::RibbonModel& ribbon, ExperimentData& experiment, QWidget* messageOwner,
                                           TimeWindowFrameParts parts)
    : ribbon_(ribbon), experiment_(experiment), messageOwner_(messageOwner), parts_(std::move(parts)) {}

std::string RibbonTimeWindowHost::EditText(std::uint32_t id) const {
  const auto* edit = ribbon_.FindByID<UI::RibbonEdit>(id);
  return edit ? edit->GetEditText() : std::string();
}

void RibbonTimeWindowHost::SetEditText(std::uint32_t id, const std::string& text) {
  if (auto* edit = ribbon_.FindByID<UI::RibbonEdit>(id)) edit->SetEditText(text);
}

void RibbonTimeWindowHost::ShowSlider(const TimeSlider& slider) {
  auto* s = ribbon_.FindByID<UI::RibbonSlider>(ID_TIMESPAN_SLIDER);
  if (!s) return;
  s->SetRange(slider.minimum, slider.maximum);
  s->SetPageSize(slider.page);
  s->SetPos(slider.position);
}

std::uint32_t RibbonTimeWindowHost::RecordedLength() const {
  // While a collection runs the stop tick is not set yet: no length.
  const std::uint32_t start = experiment_.startTick.load();
  const std::uint32_t stop = experiment_.stopTick.load();
  return stop > start ? (stop - start) / 1000 : 0;
}

bool RibbonTimeWindowHost::ShowingOpenedExperiment() const { return experiment_.mode.load() == kModeFile; }

void RibbonTimeWindowHost::ShowVideoAt(double seconds) {
  if (parts_.showVideoAt) parts_.showVideoAt(seconds);
}

void RibbonTimeWindowHost::SetNavigationPosition(int seconds) {
  if (parts_.setNavigationPosition) parts_.setNavigationPosition(seconds);
}

void RibbonTimeWindowHost::SetNavigationSpan(int seconds) {
  if (parts_.setNavigationSpan) parts_.setNavigationSpan(seconds);
}

void RibbonTimeWindowHost::ResetNavigation(int position, int start, int length, int span) {
  if (parts_.resetNavigation) parts_.resetNavigation(position, start, length, span);
}

void RibbonTimeWindowHost::InvalidateStatusBar() {
  if (parts_.invalidateStatusBar) parts_.invalidateStatusBar();
}

void RibbonTimeWindowHost::ShowMessage(std::uint32_t textId) {
  UI::MessageBox(messageOwner_, UI::LoadQString(textId), QString(), UI::MB_OK | UI::MB_ICONEXCLAMATION);
}

void RegisterTimeWindowCommands(UI::CommandRouter& router, UI::RibbonModel& ribbon, TraceTimeWindow& window,
                                TraceGlue& glue, ExperimentData& experiment) {
  router.OnCommand(ID_TIMESPAN_EDIT, [&window] { window.OnTimePosition(); });
  router.OnUpdate(ID_TIMESPAN_EDIT, [&glue, &ribbon](UI::CmdUI& ui) {
    const bool enabled = glue.MainView() != nullptr && !glue.LiveTrace();
    if (!enabled) {
      if (auto* edit = ribbon.FindByID<UI::RibbonEdit>(ID_TIMESPAN_EDIT)) edit->SetEditText({});
    }
    ui.Enable(enabled);
  });
  router.OnCommand(ID_TIMESPAN_SLIDER, [&window, &ribbon] {
    if (const auto* s = ribbon.FindByID<UI::RibbonSlider>(ID_TIMESPAN_SLIDER))
      window.MoveSlider(1, OS::LPARAM{s->GetPos()} - window.Slider().minimum);
  });
  router.OnUpdate(ID_TIMESPAN_SLIDER, [&glue, &experiment](UI::CmdUI& ui) {
    ui.Enable(!(glue.LiveTrace() && experiment.mode.load() != kModeLive));
  });
  router.OnCommand(ID_SCALETIME_EDIT_TIME, [&window] { window.OnSpan(); });
  router.OnUpdate(ID_SCALETIME_EDIT_TIME, [&glue](UI::CmdUI& ui) { ui.Enable(glue.MainView() != nullptr); });
  router.OnCommand(ID_SCALETIME_BTN_x2, [&window] { window.OnZoomIn(); });
  router.OnUpdate(ID_SCALETIME_BTN_x2, [&window](UI::CmdUI& ui) { ui.Enable(window.CanZoomIn()); });
  router.OnCommand(ID_SCALETIME_BTN_DIVIDE2, [&window] { window.OnZoomOut(); });
  router.OnUpdate(ID_SCALETIME_BTN_DIVIDE2, [&window](UI::CmdUI& ui) { ui.Enable(window.CanZoomOut()); });
  router.OnCommand(ID_EXPAND_VIEW_BUTTON, [&window] { window.OnExpandView(); });
  router.OnUpdate(ID_EXPAND_VIEW_BUTTON, [&window](UI::CmdUI& ui) { ui.Enable(window.CanExpandView()); });
}

}  // namespace ORV::Shell
