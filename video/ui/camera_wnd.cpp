#include "video/ui/camera_wnd.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QSlider>
#include <QWheelEvent>

#include "analysis_control/analysis_interface.h"
#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/base/paths.h"
#include "core/experiment/experiment_data.h"
#include "platform/ui/app_services.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/icons.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "platform/ui/window_styles.h"
#include "video/ui/calibrate_camera_dlg.h"

namespace ORV::Video {

namespace E = AnalysisView::EventId;

namespace {

constexpr std::uint32_t kInnerDiameter = 21;
constexpr std::uint32_t kOuterDiameter = 20;
constexpr std::uint32_t kCourseEdge = 163;
constexpr std::uint32_t kFineEdge = 164;
constexpr std::uint32_t kManualTrackingText = 252;
constexpr std::uint32_t kOuterThresholdText = 255;
constexpr std::uint32_t kInnerThresholdText = 256;

QString Str(std::uint32_t id) { return QString::fromStdString(UI::LoadString(id)); }

QColor FromColorRef(std::uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// Step-button command ids of each slider ("-", "+").
constexpr std::array<std::array<int, 2>, kSliderCount> kStepIds{{
    {32886, 32887},  // outer threshold
    {32888, 32889},  // inner threshold
    {32876, 32877},  // inner left
    {32878, 32879},  // inner right
    {32880, 32881},  // outer left
    {32882, 32883},  // outer right
    {32899, 32900},  // outer cut-off
    {32922, 32923},  // inner cut-off
}};
constexpr std::array<int, kSliderCount> kSliderIds{32885, 32890, 32871, 32872, 32873, 32874, 32898, 32921};

}  // namespace

// The window's event sink: the control's events by number.
class CameraWnd::Sink final : public Com::IDispatch {
 public:
  explicit Sink(CameraWnd& w) : w_(w) {}
  Com::HRESULT Invoke(Com::DISPID id, unsigned, std::span<const Com::Variant> a, Com::Variant*) override {
    auto i4 = [&](std::size_t k) {
      Com::Variant v;
      return k < a.size() && Com::Succeeded(a[k].ChangeType(Com::VT_I4, v)) ? v.Get<std::int32_t>() : 0;
    };
    auto u4 = [&](std::size_t k) { return static_cast<std::uint32_t>(i4(k)); };
    auto bytes = [&](std::size_t k) -> const std::uint8_t* {
      return k < a.size() && a[k].Holds<std::uint8_t*>() ? a[k].Get<std::uint8_t*>() : nullptr;
    };
    CameraWindowModel& m = *w_.model_;
    switch (id) {
      case E::ZoneAnalysisData:  // an analysis worker
        m.OnZoneAnalysisData(i4(0), i4(1), i4(2), i4(3), i4(4));
        return Com::S_OK;
      case E::IndexImage:  // the thread that prepared the frame
        m.OnIndexImage(u4(0), u4(1), u4(2), u4(3), bytes(4));
        return Com::S_OK;
      case E::ZoneCreated: {
        Com::Variant angle;
        const float a8 = a.size() > 8 && Com::Succeeded(a[8].ChangeType(Com::VT_R4, angle)) ? angle.Get<float>() : 0;
        m.OnZoneCreated({i4(0), i4(1), i4(2), i4(3), i4(4), i4(5), i4(6), i4(7)}, a8);
        break;
      }
      case E::CroppingCreated:
        m.OnCroppingCreated(i4(0), i4(1), i4(2), i4(3));
        break;
      case E::ZoneSelected:
        m.OnZoneSelected(i4(0));
        break;
      case E::DimensionsChanged:
        m.OnDimensionsChanged(i4(0), i4(1));
        break;
      case E::ZonesReset:
        m.OnZonesReset();
        break;
      case E::RawZoneData:
        m.OnRawZoneData(i4(0), bytes(1), i4(2));
        return Com::S_OK;
      case E::CaptureStopped:
        m.OnCaptureStopped();
        break;
      default:
        return Com::S_OK;  // ZoneData: raised by no control, handled by no window
    }
    w_.Relayout();
    return Com::S_OK;
  }

 private:
  CameraWnd& w_;
};

CameraWnd::CameraWnd(const Configuration& configuration, CameraWndSetup setup, QWidget* parent)
    : UI::DockingPane(configuration, QStringLiteral("CameraWnd%1").arg(setup.cameraIndex + 1),
                      QStringLiteral("Camera %1").arg(setup.cameraIndex + 1), parent),
      setup_(std::move(setup)) {
  CameraWindowHooks hooks = setup_.hooks;
  if (!hooks.text) hooks.text = [](std::uint32_t id) { return UI::LoadString(id); };
  if (!hooks.showError)
    hooks.showError = [this](const std::string& t) {
      UI::MessageBox(this, QString::fromStdString(t), UI::ApplicationTitle(), UI::MB_OK | UI::MB_ICONSTOP);
    };
  if (!hooks.askYesNo)
    hooks.askYesNo = [this](const std::string& t) {
      return UI::MessageBox(this, QString::fromStdString(t), UI::ApplicationTitle(),
                            UI::MB_YESNO | UI::MB_ICONQUESTION) == UI::IDYES;
    };
  if (!hooks.repaint)
    hooks.repaint = [this] {
      QMetaObject::invokeMethod(
          this, [this] { Client()->update(); }, Qt::QueuedConnection);
    };
  model_ = std::make_unique<CameraWindowModel>(setup_.experiment, setup_.queue, setup_.cameraIndex, std::move(hooks));
  sink_ = std::make_unique<Sink>(*this);
}

CameraWnd::~CameraWnd() {
  panelTimer_.stop();
  cutOffTimer_.stop();
  connection_.Reset();
  site_.Destroy();
}

Com::IDispatch& CameraWnd::EventSink() { return *sink_; }

QRect CameraWnd::Px(const Box& b) const {
  return QRect(QPoint(Scale(b.left), Scale(b.top)), QPoint(Scale(b.right) - 1, Scale(b.bottom) - 1));
}

int CameraWnd::OnCreate() {
  QWidget* client = Client();
  const Configuration& config = Config();
  boldPanelFont_ = UI::MakePointFont(config.FontName, config.PanelFontSize);
  boldPanelFont_.setWeight(QFont::Bold);
  smallPanelFont_ = UI::MakePointFont(config.FontName, config.PanelFontSize - 6);
  smallestPanelFont_ = UI::MakePointFont(config.FontName, config.PanelFontSize - 10);

  // The control, in its own host placed on the video rectangle.
  videoHost_ = new QWidget(client);
  const CameraWindowLayout first = model_->Layout(client->width() * 96 / Dpi(), client->height() * 96 / Dpi());
  videoHost_->setGeometry(Px(first.video));
  const Com::ControlFactory defaultFactory;
  const Com::ControlFactory& factory = setup_.factory ? *setup_.factory : defaultFactory;
  if (Com::Failed(site_.Create(videoHost_, AnalysisView::kProgId, kControlId, nullptr, factory))) {
    LogError("CameraWnd::OnCreate() - Unable to create ORVAnalysisView Control Interface - Bad installation");
    UI::MessageBox(this, QStringLiteral("Unable to locate ORVCameraView Control"), QStringLiteral("Error"),
                   UI::MB_OK | UI::MB_ICONSTOP);
    delete videoHost_.data();
    return -1;
  }
  connection_ = Com::SinkConnection(*site_.control(), sink_.get());
  model_->AttachControl(site_.control(), setup_.cameraType);

  // Header buttons.
  auto button = [&](const QString& text, int id) {
    auto* b = new ::CIconButton(client);
    b->Create(text, UI::WS_VISIBLE, QRect(), client, id);
    b->setFont(HeaderFont());
    connect(b, &QPushButton::clicked, this, [this, id] { RunCommand(id); });
    return b;
  };
  menuButton_ = button(QString(), kMenuButtonId);
  menuButton_->SetIcon(UI::kIconMenu);
  rotateLeft_ = button(QString(), kRotateLeftId);
  rotateLeft_->SetIcon(UI::kIconRotateLeft);
  rotateLeft_->SetTooltipText(QStringLiteral("Rotate camera left"));
  rotateRight_ = button(QString(), kRotateRightId);
  rotateRight_->SetIcon(UI::kIconRotateRight);
  rotateRight_->SetTooltipText(QStringLiteral("Rotate camera right"));

  // Sliders with their "-" and "+".
  for (int i = 0; i < kSliderCount; ++i) {
    const SliderState& s = model_->Slider(SliderId(i));
    auto* slider = new QSlider(Qt::Horizontal, client);
    slider->setObjectName(QString::number(kSliderIds[i]));
    slider->setRange(s.minimum, s.maximum);
    slider->setTickInterval(s.tick);
    // A tick every few steps of a long range would only draw a solid bar.
    slider->setTickPosition((s.maximum - s.minimum) / s.tick <= 20 ? QSlider::TicksBelow : QSlider::NoTicks);
    slider->setValue(s.position);
    connect(slider, &QSlider::sliderMoved, this, [this, i](int p) {
      model_->SliderMoved(SliderId(i), p);
      SyncControls();
    });
    sliders_[i] = slider;
    steps_[i][0] = button(QStringLiteral("-"), kStepIds[i][0]);
    steps_[i][1] = button(QStringLiteral("+"), kStepIds[i][1]);
  }
  manualTracking_ = new QCheckBox(Str(kManualTrackingText), client);
  manualTracking_->setFont(HeaderFont());
  manualTracking_->setChecked(false);
  manualTracking_->setEnabled(false);
  connect(manualTracking_, &QCheckBox::clicked, this, [this](bool c) { model_->SetManualTracking(c); });

  advice_ = new QLabel(client);
  advice_->setWordWrap(true);
  advice_->setAlignment(Qt::AlignCenter);
  advice_->setFont(HeaderFont());
  advice_->setAutoFillBackground(true);
  QPalette adviceColors = advice_->palette();
  adviceColors.setColor(QPalette::Window, QColor(0xFF, 0xF4, 0xC8));
  adviceColors.setColor(QPalette::WindowText, Qt::black);
  advice_->setPalette(adviceColors);
  advice_->hide();

  client->installEventFilter(this);
  client->setFocusPolicy(Qt::StrongFocus);
  panelTimer_.setInterval(400);
  connect(&panelTimer_, &QTimer::timeout, this, [this] {
    if (model_->ZonesPresent()) Client()->update();
  });
  panelTimer_.start();
  cutOffTimer_.setInterval(500);
  connect(&cutOffTimer_, &QTimer::timeout, this, [this] {
    model_->OnCutOffTimer();
    if (model_->UpdatePictureAdvice()) ShowPictureAdvice();
    SyncControls();
  });
  cutOffTimer_.start();
  Relayout();
  return 0;
}

::CIconButton* CameraWnd::StepButton(SliderId id, int direction) const {
  return steps_[static_cast<int>(id)][direction < 0 ? 0 : 1];
}

void CameraWnd::EnableAutoThreshold(bool on) {
  model_->EnableAutoThreshold(on);
  SyncControls();
}

void CameraWnd::SetCameraCaption(const QString& caption) {
  model_->SetCameraCaption(caption.toStdString());
  Client()->update();
}

void CameraWnd::Relayout() {
  if (!videoHost_) return;
  QWidget* client = Client();
  const CameraWindowLayout l = model_->Layout(client->width() * 96 / Dpi(), client->height() * 96 / Dpi());
  videoHost_->setGeometry(Px(l.video));
  const int x = l.frame.left;
  menuButton_->setGeometry(Px({x + 100, 3, x + 127, 18}));
  rotateLeft_->setGeometry(Px({x + 140, 3, x + 156, 18}));
  rotateRight_->setGeometry(Px({x + 160, 3, x + 176, 18}));
  auto place = [&](SliderId id, const CameraWindowLayout::Row& row, bool shown) {
    const int i = static_cast<int>(id);
    sliders_[i]->setGeometry(Px(row.slider));
    steps_[i][0]->setGeometry(Px(row.minus));
    steps_[i][1]->setGeometry(Px(row.plus));
    for (QWidget* w :
         {static_cast<QWidget*>(sliders_[i]), static_cast<QWidget*>(steps_[i][0]), static_cast<QWidget*>(steps_[i][1])})
      w->setVisible(shown);
  };
  place(SliderId::OuterCutOff, l.outerCutOff, l.sideColumn && l.cutOffsShown);
  place(SliderId::InnerCutOff, l.innerCutOff, l.sideColumn && l.cutOffsShown);
  place(SliderId::OuterLeft, l.outerLeft, l.sideColumn && l.adjustmentsShown);
  place(SliderId::OuterRight, l.outerRight, l.sideColumn && l.adjustmentsShown);
  place(SliderId::InnerLeft, l.innerLeft, l.sideColumn && l.adjustmentsShown);
  place(SliderId::InnerRight, l.innerRight, l.sideColumn && l.adjustmentsShown);
  place(SliderId::OuterThreshold, {}, false);
  place(SliderId::InnerThreshold, {}, false);
  manualTracking_->setGeometry(Px(l.checkBox));
  manualTracking_->setVisible(l.sideColumn && l.checkBoxShown);
  ShowPictureAdvice();
  SyncControls();
  client->update();
  // Once the laying out is over, the window may ask for the height its
  // width (and its picture's shape) calls for.
  if (!fitPending_) {
    fitPending_ = true;
    QTimer::singleShot(0, this, [this] {
      fitPending_ = false;
      FitHeightToWidth();
    });
  }
}

void CameraWnd::FitHeightToWidth() {
  // The frame's middle keeps at least this share of its height.
  constexpr double kMostOfFrame = 0.45;
  // Within this many pixels (96 DPI) above its least height, the window
  // has the height the frame first gave it.
  constexpr int kAboutLeast = 40;
  auto* frame = qobject_cast<QMainWindow*>(parentWidget());
  if (!frame || isFloating() || !isVisible() || !videoHost_) return;
  const Qt::DockWidgetArea area = frame->dockWidgetArea(this);
  if (area != Qt::BottomDockWidgetArea && area != Qt::TopDockWidgetArea) return;
  QWidget* client = Client();
  const int least = client->minimumHeight();
  // A height the user chose stays: the window asks only while it has about
  // the least height the frame lays it out with, or the height it asked for.
  const int tolerance = Scale(2);
  if (client->height() > least + Scale(kAboutLeast) && std::abs(client->height() - askedHeight_) > tolerance) return;
  const int dpi = Dpi();
  const int wanted = Scale(model_->HeightForWidth(client->width() * 96 / dpi, least * 96 / dpi,
                                                  static_cast<int>(kMostOfFrame * frame->height()) * 96 / dpi));
  // No more than the least height called for: the frame's own layout stands.
  if (std::abs(wanted - client->height()) <= tolerance || (wanted <= least + tolerance && askedHeight_ == 0)) return;
  askedHeight_ = wanted;
  // The dock's own parts (its title) come on top of its client's height.
  frame->resizeDocks({this}, {wanted + height() - client->height()}, Qt::Vertical);
}

void CameraWnd::ShowPictureAdvice() {
  if (!advice_ || !videoHost_) return;
  const std::string& advice = model_->PictureAdvice();
  advice_->setText(QString::fromStdString(advice));
  if (advice.empty()) {
    advice_->hide();
    return;
  }
  // Across the bottom of the picture, as high as its text needs.
  const QRect video = videoHost_->geometry();
  const int margin = Scale(4);
  const int width = std::max(video.width() - 2 * margin, Scale(60));
  advice_->setContentsMargins(margin, margin, margin, margin);
  const int height = std::min(advice_->heightForWidth(width), video.height());
  advice_->setGeometry(video.left() + margin, video.bottom() + 1 - margin - height, width, height);
  advice_->show();
  advice_->raise();
}

void CameraWnd::SyncControls() {
  if (!manualTracking_) return;
  for (int i = 0; i < kSliderCount; ++i) {
    const SliderState& s = model_->Slider(SliderId(i));
    const QSignalBlocker block(sliders_[i]);
    sliders_[i]->setValue(s.position);
    sliders_[i]->setEnabled(s.enabled);
    const bool buttons = model_->ButtonsEnabled(SliderId(i));
    steps_[i][0]->setEnabled(buttons);
    steps_[i][1]->setEnabled(buttons);
  }
  manualTracking_->setEnabled(model_->ManualTrackingEnabled());
  manualTracking_->setChecked(model_->ManualTracking());
  const bool source = site_ && model_->HasSource();
  rotateLeft_->setEnabled(source);
  rotateRight_->setEnabled(source);
}

bool CameraWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Client()) {
    switch (event->type()) {
      case QEvent::Resize:
        Relayout();
        break;
      case QEvent::Wheel:
        if (site_) model_->Wheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
      case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        const int repeat = key->isAutoRepeat() ? 2 : 1;
        if (!site_) break;
        if (key->key() == Qt::Key_Left) model_->Arrow(-1, repeat);
        if (key->key() == Qt::Key_Right) model_->Arrow(+1, repeat);
        if (key->key() == Qt::Key_Period) model_->Period();
        break;
      }
      default:
        break;
    }
  }
  return UI::DockingPane::eventFilter(watched, event);
}

QMenu* CameraWnd::BuildContextMenu() {
  auto* menu = new QMenu(this);
  const bool playing = model_->IsVideoPlaying();
  const bool source = model_->HasSource();
  auto item = [&](std::uint32_t text, int id, bool enabled) {
    QAction* a = menu->addAction(Str(text), this, [this, id] { RunCommand(id); });
    a->setEnabled(enabled);
    a->setData(id);
    return a;
  };
  item(138, kExportImageId, source);
  bool adjusted = false;
  for (SliderId id : {SliderId::InnerLeft, SliderId::InnerRight, SliderId::OuterLeft, SliderId::OuterRight})
    adjusted = adjusted || model_->Slider(id).position != 0;
  item(175, kResetFineEdgeId, model_->SelectedZone() >= 0 && adjusted);
  menu->addSeparator();
  QAction* autoScale = item(183, kAutoScaleId, source);
  autoScale->setCheckable(true);
  autoScale->setChecked(model_->AutoScaleOnRotation());
  item(182, kResetScaleId, source && model_->Scale() != 1.0f);
  item(181, kResetRotationId, source && model_->Rotation() != 0);
  menu->addSeparator();
  if (source) {
    item(playing ? 191 : 192, kCalibrateId, true);
    item(193, kStopCaptureId, true);
  } else {
    item(244, kStartCaptureId, true);
  }
  return menu;
}

void CameraWnd::RunCommand(int id) {
  for (int i = 0; i < kSliderCount; ++i)
    for (int d = 0; d < 2; ++d)
      if (kStepIds[i][d] == id) {
        model_->Step(SliderId(i), d == 0 ? -1 : +1);
        SyncControls();
        return;
      }
  switch (id) {
    case kMenuButtonId: {
      std::unique_ptr<QMenu> menu(BuildContextMenu());
      menu->exec(QCursor::pos());
      break;
    }
    case kRotateLeftId:
      model_->Rotate(+1);
      break;
    case kRotateRightId:
      model_->Rotate(-1);
      break;
    case kExportImageId:
      Snapshot();
      break;
    case kResetFineEdgeId:
      model_->ResetAdjustments();
      break;
    case kAutoScaleId:
      model_->ToggleAutoScaleOnRotation();
      break;
    case kResetRotationId:
      model_->ResetRotation();
      break;
    case kResetScaleId:
      model_->ResetScale();
      break;
    case kCalibrateId:
      ShowCalibration();
      break;
    case kStopCaptureId:
      model_->StopCaptureCommand();
      break;
    case kStartCaptureId:
      model_->StartCaptureCommand();
      break;
    default:
      break;
  }
  SyncControls();
}

void CameraWnd::Snapshot() {
  UI::FileDialogRequest request;
  request.save = true;
  request.filter = "PNG Files (*.png)|*.png|All Files (*.*)|*.*||";
  request.defaultExtension = ".png";
  if (ExperimentData* experiment = setup_.experiment) {
    if (experiment->configuration) request.folder = experiment->configuration->LastUsedExperimentPath;
    request.fileName = FileNameFromTitle(experiment->Read([](const ExperimentContents& c) { return c.title; }), ".png");
  }
  if (auto path = UI::AskForFile(this, request)) model_->Snapshot(*path);
}

void CameraWnd::ShowCalibration() {
  if (!setup_.experiment || !setup_.experiment->configuration) return;
  CCalibrateCameraDlg dialog(site_.control(), *setup_.experiment->configuration, this);
  dialog.cameraIndex = setup_.cameraIndex;
  dialog.experiment = setup_.experiment;
  if (dialog.DoModal() == UI::IDOK) model_->CalibrationAccepted();
}

void CameraWnd::OnPaint(QPainter& p) {
  if (!videoHost_) return;
  QWidget* client = Client();
  const CameraWindowLayout l = model_->Layout(client->width() * 96 / Dpi(), client->height() * 96 / Dpi());
  p.setBackgroundMode(Qt::TransparentMode);
  p.setFont(HeaderFont());
  const QRect caption = Px({l.frame.left, 5, l.frame.left + 100, 20});
  DrawLabel(
      p, caption,
      p.fontMetrics().elidedText(QString::fromStdString(model_->CameraCaption()), Qt::ElideRight, caption.width()),
      Qt::AlignLeft | Qt::AlignVCenter);
  const QRect frame = Px(l.frame);
  p.setPen(palette().color(QPalette::Light));
  p.drawLine(frame.topLeft(), frame.topRight());
  p.drawLine(frame.topLeft(), frame.bottomLeft());
  p.setPen(palette().color(QPalette::Dark));
  p.drawLine(frame.bottomLeft(), frame.bottomRight());
  p.drawLine(frame.topRight(), frame.bottomRight());
  p.setPen(palette().color(QPalette::WindowText));
  const int r = l.frame.right, t = l.frame.top;
  if (l.sideColumn) {
    // Each label ends where its row of sliders begins (a slider draws its
    // groove and handle at the top of its rectangle), under its heading.
    constexpr int kBottomCentre = Qt::AlignHCenter | Qt::AlignBottom;
    p.setFont(smallPanelFont_);
    DrawLabel(p, Px({r - 130, t + 20, r - 30, t + 36}), Str(kOuterThresholdText), kBottomCentre);
    DrawLabel(p, Px({r - 130, t + 66, r - 30, t + 81}), Str(kInnerThresholdText), kBottomCentre);
    if (l.video.Height() > 195) {
      DrawLabel(p, Px({r - 130, t + 131, r - 30, t + 146}), Str(kOuterDiameter), kBottomCentre);
      DrawLabel(p, Px({r - 130, t + 166, r - 30, t + 181}), Str(kInnerDiameter), kBottomCentre);
    }
    p.setFont(boldPanelFont_);
    DrawLabel(p, Px({r - 140, t + 2, r - 20, t + 20}), Str(kCourseEdge), Qt::AlignCenter);
    if (l.video.Height() > 195) DrawLabel(p, Px({r - 140, t + 112, r - 20, t + 130}), Str(kFineEdge), Qt::AlignCenter);
    if (model_->SelectedZone() >= 0) {
      const QRect badge = Px({r - 158, t + 2, r - 138, t + 22});
      p.setBrush(Qt::white);
      p.drawEllipse(badge);
      p.drawText(badge, Qt::AlignCenter, QString::number(model_->SelectedZone() + 1));
    }
  }
  DrawPanels(p, l);
}

void CameraWnd::DrawPanels(QPainter& painter, const CameraWindowLayout& l) {
  if (l.panels.empty()) return;
  const std::optional<ZoneData> measured = model_->NewestMeasurement();
  const ZoneData m = measured.value_or(ZoneData{});
  const auto colors = model_->ZoneColors();
  for (int z = 0; z < static_cast<int>(l.panels.size()) && z < model_->ZoneCount(); ++z) {
    const QRect target = Px(l.panels[static_cast<std::size_t>(z)]);
    const int w = target.width(), h = target.height();
    const ZonePanelDrawing d = model_->PanelDrawing(z, w, h, m);
    if (d.profile.empty()) continue;  // too small, or no profile yet
    QImage panel(w, h, QImage::Format_RGB32);
    panel.fill(Qt::white);
    QPainter p(&panel);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0x78, 0x78, 0x78));
    QPolygon line;
    for (const auto& [x, y] : d.profile) line << QPoint(x, y);
    p.drawPolyline(line);
    auto span = [&](double left, double right, double y, int microns, QColor color, bool dotted) {
      if (dotted) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawLine(QPointF(left, h), QPointF(left, y));
        p.drawLine(QPointF(right, h), QPointF(right, y));
      }
      p.setPen(Qt::black);
      p.setFont(smallestPanelFont_);
      p.drawText(QRectF(QPointF(d.outerLeft, y - 12), QPointF(d.outerRight, y)), Qt::AlignCenter,
                 QString::number(microns));
      p.setPen(color);
      p.drawLine(QPointF(left, y), QPointF(right, y));
      p.setBrush(color);
      p.drawPolygon(QPolygonF({QPointF(left, y), QPointF(left + 8, y - 4), QPointF(left + 8, y + 4)}));
      p.drawPolygon(QPolygonF({QPointF(right, y), QPointF(right - 8, y - 4), QPointF(right - 8, y + 4)}));
    };
    if (d.outer) span(d.outerLeft, d.outerRight, d.outerY, d.outerMicrons, FromColorRef(colors[1]), true);
    if (d.lumen) span(d.lumenLeft, d.lumenRight, d.lumenY, d.lumenMicrons, FromColorRef(colors[2]), false);
    // The zone's badge.
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawEllipse(QRect(2, 0, 20, 20));
    QFont badge(QStringLiteral("Arial"));
    badge.setStyleHint(QFont::SansSerif);
    badge.setPixelSize(16);
    badge.setBold(true);
    p.setFont(badge);
    p.drawText(QRect(2, 0, 20, 20), Qt::AlignCenter, QString::number(z + 1));
    p.end();
    painter.drawImage(target.topLeft(), panel);
  }
}

}  // namespace ORV::Video
