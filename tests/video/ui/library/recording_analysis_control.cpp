// Stands in for the analysis control under its ProgID: it records every call
// as "<dispid>(<args>)" (member 1000 returns the record, calls joined by
// " "), answers every member with 0 (cut-offs 3.0, IsCapturing 1, and what
// member 1001 set: it takes a member and the 32-bit answer it is to give),
// and shows a grey picture with a vertical vessel.
#include <QPainter>
#include <map>
#include <string>

#include "analysis_control/analysis_interface.h"
#include "platform/com/control.h"
#include "platform/ui/control_host.h"

namespace ORV::Test {
namespace {

constexpr Com::DISPID kCallRecord = 1000;
constexpr Com::DISPID kSetAnswer = 1001;

class VesselWindow final : public UI::ControlWindow {
 public:
  using ControlWindow::ControlWindow;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xB4, 0xB4, 0xB4));
    const int w = width();
    p.fillRect(QRect(w * 3 / 10, 0, w / 14, height()), QColor(0x3C, 0x3C, 0x3C));
    p.fillRect(QRect(w * 7 / 10 - w / 14, 0, w / 14, height()), QColor(0x3C, 0x3C, 0x3C));
  }
};

class RecordingAnalysisControl final : public Com::ControlBase {
 public:
  explicit RecordingAnalysisControl(const Com::CreateParams& p) : window_(new VesselWindow(p)) {
    SetWindow(window_.data());
  }
  ~RecordingAnalysisControl() override { delete window_.data(); }

  Com::HRESULT Invoke(Com::DISPID id, unsigned, std::span<const Com::Variant> args, Com::Variant* result) override {
    namespace D = AnalysisView::Dispid;
    if (id == kCallRecord) {
      if (result) *result = Com::Variant(record_);
      return Com::S_OK;
    }
    if (id == kSetAnswer) {
      Com::Variant member, answer;
      if (args.size() != 2 || Com::Failed(args[0].ChangeType(Com::VT_I4, member)) ||
          Com::Failed(args[1].ChangeType(Com::VT_I4, answer)))
        return Com::DISP_E_BADPARAMCOUNT;
      answers_[member.Get<std::int32_t>()] = answer.Get<std::int32_t>();
      return Com::S_OK;
    }
    if (!record_.empty()) record_ += " ";
    record_ += std::to_string(id) + "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
      Com::Variant v;
      if (i) record_ += ",";
      if (args[i].vt() == Com::VT_CLOCK)
        record_ += "clock";
      else if (Com::Succeeded(args[i].ChangeType(Com::VT_I4, v)))
        record_ += std::to_string(v.Get<std::int32_t>());
      else
        record_ += "?";
    }
    record_ += ")";
    if (result) {
      if (id == D::GetAnalysisCutOff || id == D::GetInnerAnalysisCutOff)
        *result = Com::Variant(3.0);
      else if (id == D::IsCapturing)
        *result = Com::Variant(std::int16_t{1});
      else if (auto it = answers_.find(id); it != answers_.end())
        *result = Com::Variant(it->second);
      else
        *result = Com::Variant(std::int32_t{0});
    }
    return Com::S_OK;
  }

 private:
  QPointer<VesselWindow> window_;
  std::string record_;
  std::map<Com::DISPID, std::int32_t> answers_;
};

const Com::ControlClass kClasses[] = {
    {AnalysisView::kProgId, &Com::CreateControlOf<RecordingAnalysisControl>},
};

}  // namespace
}  // namespace ORV::Test

ORV_CONTROL_MODULE(ORV::Test::kClasses)
