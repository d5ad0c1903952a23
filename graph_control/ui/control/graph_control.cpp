#include "graph_control/ui/control/graph_control.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>

#include "graph_control/graph_interface.h"
#include "graph_control/ui/control/graph_window.h"
#include "graph_control/ui/graph_drag_data.h"
#include "platform/ui/dpi.h"
#include "platform/ui/drag_mime_data.h"

namespace ORV::Graph {

namespace {

using Com::DispatchTable;
using Com::HRESULT;
using Com::MemberInfo;
using Com::Variant;
using Table = DispatchTable<GraphControl>;
using Args = std::span<const Variant>;

// A model setter's answer as a dispatch code: false refuses the value.
template <class R>
HRESULT PutResult(R r) {
  if constexpr (std::is_same_v<R, bool>) return r ? Com::S_OK : Com::E_INVALIDARG;
  return Com::S_OK;
}

// A stored property of the model: get reads Props().<field>, put calls the
// model's Set<Name> (which runs the change action). T is the declared type.
template <class T, class Get, class Set>
void ModelProperty(Table& t, Com::DISPID id, const char* name, Get get, Set set) {
  MemberInfo info{id, name, true, Com::kVarType<T>, {}, true, true};
  t.Raw(
      std::move(info),
      [get](GraphControl& c, Args, Variant* r) -> HRESULT {
        if (r) *r = Variant(static_cast<T>(get(c.model().Props())));
        return Com::S_OK;
      },
      [set](GraphControl& c, Args a, Variant*) -> HRESULT {
        const T value = Com::ValueAs<T>(a[0]);
        if constexpr (std::is_void_v<decltype(set(c.model(), value))>) {
          set(c.model(), value);
          return Com::S_OK;
        } else {
          return PutResult(set(c.model(), value));
        }
      });
}

// A method of the model, with the types of its own signature.
template <auto Fn>
void ModelMethod(Table& t, Com::DISPID id, const char* name) {
  using Traits = Com::detail::MemberFn<decltype(Fn)>;
  MemberInfo info{id, name, false, Com::kVarType<typename Traits::Result>,
                  Com::detail::ArgTypes<typename Traits::Args>::Get()};
  t.Raw(std::move(info), [](GraphControl& c, Args a, Variant* r) -> HRESULT {
    if constexpr (std::is_void_v<typename Traits::Result>) {
      Com::detail::Call(c.model(), Fn, a);
    } else {
      Com::detail::Store(r, Com::detail::Call(c.model(), Fn, a));
    }
    return Com::S_OK;
  });
}

// A property of the model with access functions (and index arguments);
// Set may be nullptr for a read-only one.
template <auto Get, auto Set>
void ModelAccessProperty(Table& t, Com::DISPID id, const char* name) {
  using Traits = Com::detail::MemberFn<decltype(Get)>;
  MemberInfo info{
      id,   name, true, Com::kVarType<typename Traits::Result>, Com::detail::ArgTypes<typename Traits::Args>::Get(),
      true, true};
  Table::Handler put;
  if constexpr (!std::is_null_pointer_v<decltype(Set)>) {
    put = [](GraphControl& c, Args a, Variant*) -> HRESULT {
      Com::detail::Call(c.model(), Set, a);
      return Com::S_OK;
    };
  }
  t.Raw(
      std::move(info),
      [](GraphControl& c, Args a, Variant* r) -> HRESULT {
        Com::detail::Store(r, Com::detail::Call(c.model(), Get, a));
        return Com::S_OK;
      },
      std::move(put));
}

}  // namespace

// Stored properties: the field of Props() and the model's setter of one name.
#define ORV_GRAPH_PROPERTY(Name, T)                                            \
  ModelProperty<T>(                                                            \
      t, Dispid::Name, #Name, [](const GraphProperties& p) { return p.Name; }, \
      [](GraphModel& m, T v) { return m.Set##Name(v); })
// Colours are COLORREF values carried as I4.
#define ORV_GRAPH_COLOR(Name)                                                                             \
  ModelProperty<std::int32_t>(                                                                            \
      t, Dispid::Name, #Name, [](const GraphProperties& p) { return static_cast<std::int32_t>(p.Name); }, \
      [](GraphModel& m, std::int32_t v) { return m.Set##Name(static_cast<ColorRef>(v)); })

const Com::DispatchTable<GraphControl>& GraphControl::Table() {
  static const Com::DispatchTable<GraphControl> table = [] {
    Com::DispatchTable<GraphControl> t;
    ORV_GRAPH_COLOR(AxisColor);
    ORV_GRAPH_COLOR(GridColor);
    ORV_GRAPH_COLOR(LabelColor);
    ORV_GRAPH_COLOR(CursorColor);
    ORV_GRAPH_PROPERTY(XGridNumber, std::int16_t);
    ORV_GRAPH_PROPERTY(YGridNumber, std::int16_t);
    ORV_GRAPH_PROPERTY(ShowGrid, bool);
    ORV_GRAPH_PROPERTY(XLabel, std::string);
    ORV_GRAPH_PROPERTY(YLabel, std::string);
    ORV_GRAPH_COLOR(ElementLineColor);
    ORV_GRAPH_COLOR(ElementPointColor);
    ORV_GRAPH_PROPERTY(ElementLineType, std::int32_t);
    ORV_GRAPH_PROPERTY(ElementWidth, std::int32_t);
    ORV_GRAPH_PROPERTY(ElementPointSymbol, std::int32_t);
    ORV_GRAPH_PROPERTY(ElementSolidPoint, bool);
    ORV_GRAPH_PROPERTY(ElementShow, bool);
    ORV_GRAPH_PROPERTY(ElementName, std::string);
    ORV_GRAPH_PROPERTY(ElementIdentify, bool);
    ORV_GRAPH_COLOR(ControlFrameColor);
    ORV_GRAPH_COLOR(PlotAreaColor);
    ORV_GRAPH_PROPERTY(AnnoLabelCaption, std::string);
    ORV_GRAPH_PROPERTY(AnnoLabelX, double);
    ORV_GRAPH_PROPERTY(AnnoLabelY, double);
    ORV_GRAPH_COLOR(AnnoLabelColor);
    ORV_GRAPH_PROPERTY(AnnoLabelHorizontal, bool);
    ORV_GRAPH_PROPERTY(Annotation, std::int16_t);
    ORV_GRAPH_PROPERTY(AnnoVisible, bool);
    ORV_GRAPH_PROPERTY(Element, std::int16_t);
    ORV_GRAPH_COLOR(AnnoLabelBkColor);
    ORV_GRAPH_PROPERTY(Cursor, std::int16_t);
    ORV_GRAPH_PROPERTY(CursorX, double);
    ORV_GRAPH_PROPERTY(CursorY, double);
    ORV_GRAPH_PROPERTY(CursorStyle, std::int16_t);
    ORV_GRAPH_PROPERTY(CursorVisible, bool);
    ORV_GRAPH_PROPERTY(CursorMode, std::int16_t);
    ORV_GRAPH_PROPERTY(FormatAxisBottom, std::string);
    ORV_GRAPH_PROPERTY(FormatAxisLeft, std::string);
    ORV_GRAPH_PROPERTY(YTime, bool);
    ORV_GRAPH_PROPERTY(XTime, bool);
    ORV_GRAPH_PROPERTY(DrawNoSaveData, bool);
    ORV_GRAPH_PROPERTY(UseAutoRange, bool);
    ORV_GRAPH_PROPERTY(Appearance, std::int16_t);
    ORV_GRAPH_PROPERTY(Caption, std::string);
    t.Property(Dispid::Enabled, "Enabled", &GraphControl::GetEnabled, &GraphControl::SetEnabled);

    ModelAccessProperty<&GraphModel::GetTrackMode, &GraphModel::SetTrackMode>(t, Dispid::TrackMode, "TrackMode");
    ModelAccessProperty<&GraphModel::GetAnnoCount, nullptr>(t, Dispid::AnnoCount, "AnnoCount");
    ModelAccessProperty<&GraphModel::GetElementCount, nullptr>(t, Dispid::ElementCount, "ElementCount");
    ModelAccessProperty<&GraphModel::GetCursorCount, nullptr>(t, Dispid::CursorCount, "CursorCount");
    ModelAccessProperty<&GraphModel::ElementXValue, &GraphModel::SetElementXValue>(t, Dispid::ElementXValue,
                                                                                   "ElementXValue");
    ModelAccessProperty<&GraphModel::ElementYValue, &GraphModel::SetElementYValue>(t, Dispid::ElementYValue,
                                                                                   "ElementYValue");

    ModelMethod<&GraphModel::SetRange>(t, Dispid::SetRange, "SetRange");
    ModelMethod<&GraphModel::AutoRange>(t, Dispid::AutoRange, "AutoRange");
    t.Method(Dispid::CopyToClipboard, "CopyToClipboard", &GraphControl::CopyToClipboard);
    ModelMethod<&GraphModel::PrintGraph>(t, Dispid::PrintGraph, "PrintGraph");
    ModelMethod<&GraphModel::AddElement>(t, Dispid::AddElement, "AddElement");
    ModelMethod<&GraphModel::DeleteElement>(t, Dispid::DeleteElement, "DeleteElement");
    ModelMethod<&GraphModel::ClearGraph>(t, Dispid::ClearGraph, "ClearGraph");
    ModelMethod<&GraphModel::PlotXY>(t, Dispid::PlotXY, "PlotXY");
    ModelMethod<&GraphModel::PlotY>(t, Dispid::PlotY, "PlotY");
    ModelMethod<&GraphModel::AddAnnotation>(t, Dispid::AddAnnotation, "AddAnnotation");
    ModelMethod<&GraphModel::DeleteAnnotation>(t, Dispid::DeleteAnnotation, "DeleteAnnotation");
    ModelMethod<&GraphModel::AddCursor>(t, Dispid::AddCursor, "AddCursor");
    ModelMethod<&GraphModel::DeleteCursor>(t, Dispid::DeleteCursor, "DeleteCursor");
    ModelMethod<&GraphModel::SetGridXElements>(t, Dispid::SetGridXElements, "SetGridXElements");
    ModelMethod<&GraphModel::SetGridYElements>(t, Dispid::SetGridYElements, "SetGridYElements");
    ModelMethod<&GraphModel::SelectTrace>(t, Dispid::SelectTrace, "SelectTrace");
    ModelMethod<&GraphModel::AppendGraph>(t, Dispid::AppendGraph, "AppendGraph");
    ModelMethod<&GraphModel::CalculateAnalysisValue>(t, Dispid::CalculateAnalysisValue, "CalculateAnalysisValue");
    ModelMethod<&GraphModel::GetActiveSelection>(t, Dispid::GetActiveSelection, "GetActiveSelection");
    ModelMethod<&GraphModel::NearestIndexFromValue>(t, Dispid::NearestIndexFromValue, "NearestIndexFromValue");
    ModelMethod<&GraphModel::DeleteAnnotationByName>(t, Dispid::DeleteAnnotationByName, "DeleteAnnotationByName");
    ModelMethod<&GraphModel::RemoveAnnotation>(t, Dispid::RemoveAnnotation, "RemoveAnnotation");
    ModelMethod<&GraphModel::GetCurrentAnnotationID>(t, Dispid::GetCurrentAnnotationID, "GetCurrentAnnotationID");
    ModelMethod<&GraphModel::GetNumberOfCalculatedAnalysisPoints>(t, Dispid::GetNumberOfCalculatedAnalysisPoints,
                                                                  "GetNumberOfCalculatedAnalysisPoints");
    ModelMethod<&GraphModel::GetStandardDeviationOfCalculatedAnalysisPoints>(
        t, Dispid::GetStandardDeviationOfCalculatedAnalysisPoints, "GetStandardDeviationOfCalculatedAnalysisPoints");
    ModelMethod<&GraphModel::GetStandardErrorOfCalculatedAnalysisPoints>(
        t, Dispid::GetStandardErrorOfCalculatedAnalysisPoints, "GetStandardErrorOfCalculatedAnalysisPoints");
    ModelMethod<&GraphModel::GetRangeMinY>(t, Dispid::GetRangeMinY, "GetRangeMinY");
    ModelMethod<&GraphModel::GetRangeMaxY>(t, Dispid::GetRangeMaxY, "GetRangeMaxY");
    t.Method(Dispid::AddMarkerAtCurrentTime, "AddMarkerAtCurrentTime", &GraphControl::AddMarkerAtCurrentTime);
    ModelMethod<&GraphModel::GetRangesMinAndMax>(t, Dispid::GetRangesMinAndMax, "GetRangesMinAndMax");
    t.Method(Dispid::GetTimeAtPos, "GetTimeAtPos", &GraphControl::GetTimeAtPos);
    return t;
  }();
  return table;
}

#undef ORV_GRAPH_PROPERTY
#undef ORV_GRAPH_COLOR

GraphControl::GraphControl(const Com::CreateParams& params) {
  window_ = new GraphWindow(params, *this);
  SetWindow(window_.data());
  // The model reports to the control only once the window exists.
  model_.SetHost(this);
  interaction_.SetDpi(QueryDpi());
  model_.OnCreate();
}

GraphControl::~GraphControl() {
  model_.SetHost(nullptr);
  delete window_.data();
}

void GraphControl::FireClick() { Fire(EventId::Click); }

void GraphControl::SetEnabled(bool enabled) {
  model_.SetEnabled(enabled);
  // A disabled control takes no mouse input.
  if (window_) window_->setEnabled(enabled);
}

void GraphControl::Redraw() {
  if (window_) window_->update();
}

void GraphControl::RedrawPlotArea() {
  if (!window_) return;
  const PixelRect& p = model_.Plot();
  window_->update(QRect(p.left, p.top, p.Width() + 1, p.Height() + 1));
}

void GraphControl::RepaintNow() {
  if (window_) window_->repaint();
}

void GraphControl::TrackModeChanged(std::int32_t newState) { Fire(EventId::TrackModeChanged, newState); }

void GraphControl::FireCursorPosition(double x, double y) { Fire(EventId::CursorPosition, x, y); }

void GraphControl::FireSelectTrace(double start, double stop) { Fire(EventId::OnSelectTrace, start, stop); }

void GraphControl::FireDoubleClick(double time) { Fire(EventId::LButtonDBLClick, time); }

bool GraphControl::PostToParent(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  return window_ && window_->PostToParent(message, wParam, lParam);
}

bool GraphControl::HasParent() const { return window_ && window_->HasParentTarget(); }

void GraphControl::SetMouseCursor(MouseCursor cursor) {
  if (!window_) return;
  switch (cursor) {
    case MouseCursor::SizeNS:
      window_->setCursor(Qt::SizeVerCursor);
      break;
    case MouseCursor::SizeWE:
      window_->setCursor(Qt::SizeHorCursor);
      break;
    case MouseCursor::Arrow:
      window_->setCursor(Qt::ArrowCursor);
      break;
  }
}

std::shared_ptr<Com::DragDataObject> GraphControl::Picture() {
  const QSize size = window_ ? window_->size() : QSize();
  return GraphPictureData(model_, size, QueryDpi());
}

void GraphControl::CopyToClipboard() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard || !window_) return;
  clipboard->setMimeData(UI::DragMimeData::Snapshot(*Picture()));
}

void GraphControl::RunDrag(std::shared_ptr<Com::DragDataObject> data) {
  if (!window_) return;
  auto* drag = new QDrag(window_.data());
  drag->setMimeData(new UI::DragMimeData(std::move(data)));
  drag->exec(Qt::CopyAction | Qt::MoveAction);
}

void GraphControl::DragPicture() { RunDrag(Picture()); }

void GraphControl::DragText(const std::string& text) { RunDrag(TextDragData(text)); }

void GraphControl::DragFile(const std::string& path) { RunDrag(FileDragData(path)); }

namespace {

// The property page has no controls bound to properties; only its name is
// registered.
Com::Control* CreatePropertyPage(const Com::CreateParams&) { return nullptr; }

const Com::ControlClass kClasses[] = {
    {kGraphProgId, &Com::CreateControlOf<GraphControl>},
    {kGraphPropPageProgId, &CreatePropertyPage},
};
const Com::TypeLibrary kTypeLibrary{kGraphTypeLibraryId, 1, 0};

}  // namespace

}  // namespace ORV::Graph

ORV_CONTROL_MODULE_WITH_TYPES(ORV::Graph::kClasses, ORV::Graph::kTypeLibrary)
