// The graph control as its hosts meet it: created by ProgID in a host
// window, every member of its dispatch interface with its declared types,
// the quirks the interface keeps, mouse sessions on its window giving the
// events and the parent messages, the clipboard copy, registration, and
// renders of the control in its host at 96 and 144 DPI.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <cmath>

#include "graph_control/graph_interface.h"
#include "platform/com/control_loader.h"
#include "platform/os/registry_store.h"
#include "platform/ui/control_host.h"
#include "platform/ui/message_window.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::Graph {
namespace {

using Com::DISPID;
using Com::HRESULT;
using Com::Variant;
using Com::VARTYPE;

const std::string kDir = ORV_GRAPH_CONTROL_DIR;

struct Event {
  DISPID id;
  std::vector<Variant> args;
};

struct Sink final : Com::IDispatch {
  std::vector<Event> events;
  HRESULT Invoke(DISPID id, unsigned, std::span<const Variant> args, Variant*) override {
    events.push_back({id, {args.begin(), args.end()}});
    return Com::S_OK;
  }
  std::vector<Event> Of(DISPID id) const {
    std::vector<Event> out;
    for (const Event& e : events)
      if (e.id == id) out.push_back(e);
    return out;
  }
};

struct Post {
  std::uint32_t message;
  UI::WPARAM wParam;
  UI::LPARAM lParam;
  bool operator==(const Post&) const = default;
};

class Host final : public QWidget, public UI::MessageWindow {
 public:
  Host() {
    for (std::uint32_t m : {WM_GRAPH_AXIS_WHEEL, WM_GRAPH_ANNOTATION_MOVED})
      SetHandler(m, [this, m](UI::WPARAM w, UI::LPARAM l) {
        posts.push_back({m, w, l});
        return 0;
      });
  }
  ~Host() override { site.Destroy(); }
  std::vector<Post> posts;
  UI::ControlSite site;
  UI::MessageWindowCloser closer{*this};
};

// Counts the paints of a widget.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class GraphControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.resize(600, 300);
    host_.show();
    ASSERT_EQ(host_.site.Create(&host_, kGraphProgId, 34768, host_.Target(), factory_), Com::S_OK);
    connection_ = Com::SinkConnection(*host_.site.control(), &sink_);
    w_ = host_.site.widget();
    ASSERT_NE(w_, nullptr);
    w_->installEventFilter(&paints_);
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w_->size() == host_.size() && paints_.paints > 0; }));
  }
  void TearDown() override { connection_.Reset(); }

  Com::Dispatcher d() const { return host_.site.dispatch(); }
  HRESULT Try(DISPID id, unsigned kind, std::vector<Variant> args, Variant* result = nullptr) const {
    return d().Try(id, kind, args, result);
  }
  // Lets the window paint, so the plot's layout is current.
  void Settle() {
    const int before = paints_.paints;
    w_->update();
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return paints_.paints > before; }));
  }
  // The data X under column x, as the control reports it on a move.
  double XAt(int x) {
    sink_.events.clear();
    ORV::Test::MouseMove(*w_, QPoint(x, w_->height() / 2));
    const auto moves = sink_.Of(EventId::CursorPosition);
    EXPECT_EQ(moves.size(), 1u);
    return moves.empty() ? 0.0 : moves.back().args[0].Get<double>();
  }
  void Wheel(QPoint at, int delta) {
    QWheelEvent e(at, w_->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(w_, &e);
  }

  OS::RegistryStore store_;
  Com::ControlFactory factory_{store_, {kDir}};
  Host host_;
  Sink sink_;
  Com::SinkConnection connection_;
  PaintCounter paints_;
  QWidget* w_ = nullptr;
};

constexpr unsigned kGet = Com::DISPATCH_PROPERTYGET;
constexpr unsigned kPut = Com::DISPATCH_PROPERTYPUT;
constexpr unsigned kMethod = Com::DISPATCH_METHOD;

TEST_F(GraphControlTest, EveryMemberAnswersWithItsDeclaredTypes) {
  d().Invoke(Dispid::AddAnnotation);
  d().Invoke(Dispid::AddCursor);
  d().Invoke(Dispid::PlotXY, 1.0, 2.0, std::int16_t{0});
  d().Invoke(Dispid::PlotXY, 2.0, 3.0, std::int16_t{0});

  // Properties: get gives the declared type; putting the value back is taken.
  const std::vector<std::pair<DISPID, VARTYPE>> properties = {
      {1, Com::VT_I4},    {2, Com::VT_I4},    {3, Com::VT_I4},    {4, Com::VT_I4},      {5, Com::VT_I2},
      {6, Com::VT_I2},    {7, Com::VT_BOOL},  {8, Com::VT_BSTR},  {9, Com::VT_BSTR},    {10, Com::VT_I4},
      {11, Com::VT_I4},   {12, Com::VT_I4},   {13, Com::VT_I4},   {14, Com::VT_I4},     {15, Com::VT_BOOL},
      {16, Com::VT_BOOL}, {17, Com::VT_BSTR}, {18, Com::VT_BOOL}, {19, Com::VT_I4},     {20, Com::VT_I4},
      {21, Com::VT_BSTR}, {22, Com::VT_R8},   {23, Com::VT_R8},   {24, Com::VT_I4},     {25, Com::VT_BOOL},
      {26, Com::VT_I2},   {27, Com::VT_BOOL}, {28, Com::VT_I2},   {29, Com::VT_I4},     {30, Com::VT_I2},
      {31, Com::VT_R8},   {32, Com::VT_R8},   {33, Com::VT_I2},   {34, Com::VT_BOOL},   {35, Com::VT_I2},
      {36, Com::VT_BSTR}, {37, Com::VT_BSTR}, {38, Com::VT_BOOL}, {39, Com::VT_BOOL},   {40, Com::VT_I4},
      {67, Com::VT_BOOL}, {71, Com::VT_BOOL}, {-520, Com::VT_I2}, {-518, Com::VT_BSTR}, {-514, Com::VT_BOOL},
  };
  for (auto [id, vt] : properties) {
    SCOPED_TRACE(id);
    Variant value;
    ASSERT_EQ(Try(id, kGet, {}, &value), Com::S_OK);
    EXPECT_EQ(value.vt(), vt);
    EXPECT_EQ(Try(id, kPut, {value}), Com::S_OK);
  }
  for (DISPID id : {41, 42, 43}) {
    SCOPED_TRACE(id);
    Variant value;
    ASSERT_EQ(Try(id, kGet, {}, &value), Com::S_OK);
    EXPECT_EQ(value.vt(), Com::VT_I2);
    EXPECT_EQ(Try(id, kPut, {value}), Com::CTL_E_SETNOTSUPPORTED);
  }

  // Methods with arguments of the declared types; the result's type.
  double start = 0, stop = 0, lo = 0, hi = 0;
  const std::int16_t e0 = 0;
  struct Call {
    DISPID id;
    unsigned kind;
    std::vector<Variant> args;
    VARTYPE result;
  };
  const std::vector<Call> calls = {
      {44, kMethod, {0.0, 10.0, 0.0, 5.0, false}, Com::VT_BOOL},
      {44, kMethod, {-1.0, -1.0, 0.0, 5.0, std::int32_t{1}}, Com::VT_BOOL},  // hosts pass an I4 flag
      {45, kMethod, {}, Com::VT_EMPTY},
      {47, kMethod, {}, Com::VT_EMPTY},
      {48, kMethod, {}, Com::VT_EMPTY},
      {49, kMethod, {std::int16_t{1}}, Com::VT_EMPTY},
      {51, kMethod, {3.0, 4.0, e0}, Com::VT_EMPTY},
      {52, kMethod, {5.0, e0}, Com::VT_EMPTY},
      {53, kMethod, {}, Com::VT_EMPTY},
      {54, kMethod, {std::int16_t{1}}, Com::VT_EMPTY},
      {55, kMethod, {}, Com::VT_EMPTY},
      {56, kMethod, {std::int16_t{1}}, Com::VT_EMPTY},
      {57, kGet, {std::int32_t{0}, e0}, Com::VT_R8},
      {57, kPut, {std::int32_t{0}, e0, 1.5}, Com::VT_EMPTY},
      {58, kGet, {std::int32_t{0}, e0}, Com::VT_R8},
      {58, kPut, {std::int32_t{0}, e0, 2.5}, Com::VT_EMPTY},
      {59, kMethod, {std::int32_t{4}}, Com::VT_EMPTY},
      {60, kMethod, {std::int32_t{4}}, Com::VT_EMPTY},
      {61, kMethod, {1.0, 2.0}, Com::VT_EMPTY},
      {62, kMethod, {}, Com::VT_EMPTY},
      {63, kMethod, {std::int16_t{0}}, Com::VT_R8},
      {64, kMethod, {&start, &stop}, Com::VT_EMPTY},
      {65, kMethod, {1.2, e0}, Com::VT_I4},
      {68, kMethod, {"Annotation-0"}, Com::VT_EMPTY},
      {69, kMethod, {1.0}, Com::VT_EMPTY},
      {70, kMethod, {}, Com::VT_I2},
      {72, kMethod, {}, Com::VT_I8},
      {73, kMethod, {}, Com::VT_R8},
      {74, kMethod, {}, Com::VT_R8},
      {75, kMethod, {}, Com::VT_R8},
      {76, kMethod, {}, Com::VT_R8},
      {77, kMethod, {}, Com::VT_EMPTY},
      {78, kMethod, {&lo, &hi}, Com::VT_EMPTY},
      {79, kMethod, {std::int32_t{0}}, Com::VT_R8},
      {46, kMethod, {}, Com::VT_EMPTY},
      {50, kMethod, {}, Com::VT_EMPTY},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.id);
    Variant result;
    ASSERT_EQ(Try(c.id, c.kind, c.args, &result), Com::S_OK);
    EXPECT_EQ(result.vt(), c.result);
  }
  // The by-reference results were written through the pointers.
  EXPECT_EQ(std::make_pair(start, stop), std::make_pair(1.0, 2.0));
  EXPECT_LT(lo, hi);

  for (DISPID unknown : {0, 66, 80, -600})
    EXPECT_EQ(Try(unknown, kMethod | kGet, {}), Com::DISP_E_MEMBERNOTFOUND) << unknown;
  EXPECT_EQ(Try(Dispid::SetRange, kMethod, {0.0, 1.0, 0.0, 1.0}), Com::DISP_E_BADPARAMCOUNT);
}

TEST_F(GraphControlTest, TheQuirksOfTheInterfaceHold) {
  d().Invoke(Dispid::AddAnnotation);
  d().Invoke(Dispid::AddAnnotation);
  d().Put(Dispid::Annotation, std::int16_t{0});
  EXPECT_EQ(d().Invoke<std::int16_t>(Dispid::GetCurrentAnnotationID), 1);

  d().Put(Dispid::AnnoLabelX, 1.0);
  d().Invoke(Dispid::PrintGraph);
  d().Invoke(Dispid::AppendGraph);
  d().Invoke(Dispid::RemoveAnnotation, 1.0);
  EXPECT_EQ(d().Get<std::int16_t>(Dispid::AnnoCount), 2);

  for (double x : {0.0, 0.4, 0.6, 2.0}) d().Invoke(Dispid::PlotXY, x, x * x, std::int16_t{0});
  for (double x : {-1.0, 0.5, 0.55, 9.0})
    EXPECT_EQ(d().Invoke<std::int32_t>(Dispid::NearestIndexFromValue, x, std::int16_t{3}),
              d().Invoke<std::int32_t>(Dispid::NearestIndexFromValue, x, std::int16_t{0}))
        << x;
  EXPECT_EQ(d().Get<double>(Dispid::ElementYValue, std::int32_t{99}, std::int16_t{0}), 0.0);

  ORV::Test::MousePress(*w_, Qt::RightButton, Qt::NoModifier, QPoint(200, 100));
  EXPECT_EQ(d().Invoke<double>(Dispid::GetTimeAtPos, std::int32_t{0}),
            d().Invoke<double>(Dispid::GetTimeAtPos, std::int32_t{500}));

  // Puts that only store: no repaint follows.
  Settle();
  const int before = paints_.paints;
  d().Put(Dispid::UseAutoRange, false);
  d().Put(Dispid::DrawNoSaveData, false);
  QApplication::processEvents();
  EXPECT_EQ(paints_.paints, before);
  d().Put(Dispid::ShowGrid, true);
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return paints_.paints > before; }));

  // TrackMode fires its event; snapping a cursor needs points.
  d().Put(Dispid::TrackMode, std::int32_t{73});
  ASSERT_EQ(sink_.Of(EventId::TrackModeChanged).size(), 1u);
  EXPECT_EQ(sink_.Of(EventId::TrackModeChanged)[0].args, std::vector<Variant>{Variant(std::int32_t{73})});
  d().Invoke(Dispid::AddCursor);
  d().Put(Dispid::CursorX, 0.45);
  d().Put(Dispid::CursorY, 0.0);
  d().Put(Dispid::CursorMode, std::int16_t{2});
  EXPECT_EQ(d().Get<double>(Dispid::CursorX), 0.4);
  d().Invoke(Dispid::ClearGraph);
  EXPECT_EQ(Try(Dispid::CursorMode, kPut, {std::int16_t{2}}), Com::E_INVALIDARG);
  EXPECT_EQ(d().Get<std::int16_t>(Dispid::AnnoCount), 0);
}

TEST_F(GraphControlTest, MouseSessionsGiveTheEventsAndTheParentMessages) {
  d().Invoke<bool>(Dispid::SetRange, 0.0, 100.0, 0.0, 10.0, false);
  Settle();
  const int y = w_->height() / 2;
  const double t200 = XAt(200), t300 = XAt(300);
  ASSERT_LT(t200, t300);

  sink_.events.clear();
  ORV::Test::MousePress(*w_, Qt::LeftButton, Qt::NoModifier, QPoint(200, y));
  QMouseEvent move(QEvent::MouseMove, QPointF(300, y), w_->mapToGlobal(QPointF(300, y)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(w_, &move);
  ORV::Test::MouseRelease(*w_, Qt::LeftButton, Qt::NoModifier, QPoint(300, y));
  const auto selections = sink_.Of(EventId::OnSelectTrace);
  ASSERT_EQ(selections.size(), 1u);
  EXPECT_EQ(selections[0].args, (std::vector<Variant>{t200, t300}));
  EXPECT_EQ(sink_.Of(EventId::Click).size(), 1u);
  double a = 0, b = 0;
  d().Invoke(Dispid::GetActiveSelection, &a, &b);
  EXPECT_EQ(std::make_pair(a, b), std::make_pair(t200, t300));

  // The right click clears the selection and reports (0, 0).
  ORV::Test::MousePress(*w_, Qt::RightButton, Qt::NoModifier, QPoint(250, y));
  ASSERT_EQ(sink_.Of(EventId::OnSelectTrace).size(), 2u);
  EXPECT_EQ(sink_.Of(EventId::OnSelectTrace)[1].args, (std::vector<Variant>{0.0, 0.0}));

  // A double click asks for a marker at the X under the pointer.
  ORV::Test::MouseDClick(*w_, Qt::LeftButton, Qt::NoModifier, QPoint(300, y));
  ASSERT_EQ(sink_.Of(EventId::LButtonDBLClick).size(), 1u);
  EXPECT_EQ(sink_.Of(EventId::LButtonDBLClick)[0].args, std::vector<Variant>{Variant(t300)});

  // The wheel: the left axis zone, the bottom zone, then the plot (not posted).
  Wheel(QPoint(3, y), 120);
  Wheel(QPoint(250, w_->height() - 3), -120);
  Wheel(QPoint(250, y), 120);
  // An annotation at t200, picked by a Ctrl-press two pixels left of it and
  // released with Ctrl at column 300.
  d().Invoke(Dispid::AddAnnotation);
  d().Put(Dispid::AnnoLabelX, t200);
  ORV::Test::MousePress(*w_, Qt::LeftButton, Qt::ControlModifier, QPoint(198, y));
  ORV::Test::MouseRelease(*w_, Qt::LeftButton, Qt::ControlModifier, QPoint(300, y));
  const auto ms = static_cast<UI::LPARAM>(std::trunc(t300 * 1000));
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return host_.posts.size() >= 3; }));
  EXPECT_EQ(host_.posts, (std::vector<Post>{{WM_GRAPH_AXIS_WHEEL, kWheelLeftAxis, 1},
                                            {WM_GRAPH_AXIS_WHEEL, kWheelBottomAxis, -1},
                                            {WM_GRAPH_ANNOTATION_MOVED, 0, ms}}));
  EXPECT_EQ(sink_.Of(EventId::OnSelectTrace).size(), 2u);

  // A disabled control takes no mouse input.
  d().Put(Dispid::Enabled, false);
  sink_.events.clear();
  ORV::Test::MousePress(*w_, Qt::RightButton, Qt::NoModifier, QPoint(250, y));
  EXPECT_TRUE(sink_.events.empty());
  d().Put(Dispid::Enabled, true);
  ORV::Test::MousePress(*w_, Qt::RightButton, Qt::NoModifier, QPoint(250, y));
  EXPECT_EQ(sink_.Of(EventId::OnSelectTrace).size(), 1u);
}

TEST_F(GraphControlTest, RendersInItsHostAndCopiesThePictureToTheClipboard) {
  d().Put(Dispid::DrawNoSaveData, false);
  d().Put(Dispid::YLabel, "um");
  d().Put(Dispid::ShowGrid, true);
  d().Put(Dispid::ControlFrameColor, std::int32_t{0xF0F0F0});
  d().Put(Dispid::PlotAreaColor, std::int32_t{0xFFFFFF});
  d().Put(Dispid::ElementLineColor, std::int32_t{0xC04000});
  d().Invoke(Dispid::AddElement);
  d().Put(Dispid::ElementLineColor, std::int32_t{0x0000C0});
  for (int i = 0; i <= 600; ++i) {
    const double t = i * 0.1;
    d().Invoke(Dispid::PlotXY, t, 150 + 20 * std::sin(t / 5), std::int16_t{0});
    d().Invoke(Dispid::PlotXY, t, 110 + 15 * std::cos(t / 7), std::int16_t{1});
  }
  d().Invoke<bool>(Dispid::SetRange, 0.0, 60.0, 80.0, 180.0, false);
  d().Invoke(Dispid::SelectTrace, 20.0, 32.5);
  d().Invoke(Dispid::AddAnnotation);
  d().Put(Dispid::AnnoLabelCaption, "Drug added");
  d().Put(Dispid::AnnoLabelColor, std::int32_t{0});
  d().Put(Dispid::AnnoLabelX, 15.0);
  d().Put(Dispid::AnnoLabelY, 170.0);
  Settle();
  const QImage shown = ORV::Test::SaveUiArtifact(host_, "graph_control_in_host");
  EXPECT_EQ(shown.size(), QSize(600, 300));

  d().Invoke(Dispid::CopyToClipboard);
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  ASSERT_NE(clip, nullptr);
  EXPECT_TRUE(clip->hasFormat("image/png"));
  EXPECT_TRUE(clip->hasFormat("image/svg+xml"));
  QImage copied;
  ASSERT_TRUE(copied.loadFromData(clip->data("image/png"), "PNG"));
  EXPECT_EQ(copied.size(), w_->size());
  copied.save(QStringLiteral(ORV_UI_ARTIFACT_DIR) + "/graph_control_clipboard.png");
  EXPECT_TRUE(clip->data("image/svg+xml").contains("<title>ImageName</title>"));
}

// The window is painted at its host's DPI (the control library's own copy
// of it is never set by anything else): at 144 DPI, in a window half as
// large again, the margins that hold the labels and the traces' lines are
// half as large again too.
TEST_F(GraphControlTest, PaintsAtTheHostsDpi) {
  d().Put(Dispid::DrawNoSaveData, false);
  d().Put(Dispid::ShowGrid, false);
  d().Put(Dispid::YLabel, "um");
  d().Put(Dispid::ControlFrameColor, std::int32_t{0xF0F0F0});
  d().Put(Dispid::PlotAreaColor, std::int32_t{0xFFFFFF});
  d().Put(Dispid::ElementLineColor, std::int32_t{0x0000C0});
  d().Put(Dispid::ElementWidth, std::int32_t{2});
  for (int t = 0; t <= 60; ++t) d().Invoke(Dispid::PlotXY, double(t), 50.0, std::int16_t{0});
  d().Invoke<bool>(Dispid::SetRange, 0.0, 60.0, 0.0, 100.0, false);
  struct Measures {
    int left = 0, bottom = 0, line = 0;  // left and bottom margins of the plot, the trace's thickness
  };
  const auto measure = [&](int dpi) {
    ORV::Test::ScopedDpi scoped(dpi);
    const QSize size = QSize(600, 300) * dpi / 96;
    host_.resize(size);
    EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w_->size() == size; }));
    Settle();
    Settle();  // the second paint lays out with the labels shown
    const QImage shot = ORV::Test::SaveUiArtifact(host_, "graph_control_in_host_" + std::to_string(dpi) + "dpi");
    const auto white = [&](int x, int y) { return shot.pixel(x, y) == qRgb(255, 255, 255); };
    Measures m;
    const int midY = shot.height() / 3, midX = shot.width() / 2;
    while (m.left < shot.width() && !white(m.left, midY)) ++m.left;
    while (m.bottom < shot.height() && !white(midX, shot.height() - 1 - m.bottom)) ++m.bottom;
    for (int y = 0; y < shot.height(); ++y) {
      const QColor c = shot.pixelColor(midX, y);
      if (c.red() > 150 && c.green() < 100 && c.blue() < 100) ++m.line;
    }
    return m;
  };
  const Measures at96 = measure(96), at144 = measure(144);
  EXPECT_EQ(at96.line, 2);
  EXPECT_EQ(at144.line, 3);
  // Text does not scale exactly (hinting): a few pixels either way.
  EXPECT_NEAR(at144.left, at96.left * 1.5, 4) << at96.left;
  EXPECT_NEAR(at144.bottom, at96.bottom * 1.5, 4) << at96.bottom;
  host_.resize(600, 300);
}

TEST(GraphControlLibrary, RegistersTheControlAndItsPropertyPage) {
  OS::RegistryStore store;
  const Com::ControlFactory finder(store, {kDir});
  const std::string library = finder.FindLibrary(kGraphProgId);
  ASSERT_FALSE(library.empty());
  const Com::ControlFactory registered(store, {});
  ASSERT_EQ(registered.RegisterLibrary(library), Com::S_OK);
  EXPECT_EQ(registered.FindLibrary(kGraphProgId), library);
  EXPECT_EQ(registered.FindLibrary(kGraphPropPageProgId), library);
  // The type information goes with the classes.
  EXPECT_EQ(store.GetString(Com::ControlFactory::TypeLibraryKey(kGraphTypeLibraryId) + "\\1.0\\0\\linux", "", ""),
            library);
  ASSERT_EQ(registered.UnregisterLibrary(library), Com::S_OK);
  EXPECT_FALSE(store.KeyExists(Com::ControlFactory::TypeLibraryKey(kGraphTypeLibraryId)));
  EXPECT_EQ(registered.FindLibrary(kGraphProgId), "");
  EXPECT_EQ(registered.FindLibrary(kGraphPropPageProgId), "");
}

}  // namespace
}  // namespace ORV::Graph
