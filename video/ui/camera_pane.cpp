#include "video/ui/camera_pane.h"

#include <QLineEdit>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionFrame>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/icons.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "platform/ui/window_styles.h"
#include "video/ui/calibrate_camera_dlg.h"
#include "video/ui/camera_wnd.h"

namespace ORV::Video {

namespace {

using PS = CameraPaneModel::PaneSlider;

}  // namespace

CCameraPane::CCameraPane(const Configuration& configuration, ExperimentData* experiment, bool multipleCameras,
                         CameraPaneHooks hooks, QWidget* parent)
    : UI::DockingPane(configuration, QStringLiteral("CameraPane"),
                      QString::fromStdString(UI::LoadString(UI::kCameraString)), parent),
      experiment_(experiment) {
  if (!hooks.text) hooks.text = [](std::uint32_t id) { return UI::LoadString(id); };
  if (!hooks.showError)
    hooks.showError = [this](const std::string& t, const std::string& c) {
      UI::MessageBox(this, QString::fromStdString(t), QString::fromStdString(c), UI::MB_OK | UI::MB_ICONSTOP);
    };
  if (!hooks.askYesNo)
    hooks.askYesNo = [this](const std::string& t) {
      return UI::MessageBox(this, QString::fromStdString(t), UI::ApplicationTitle(),
                            UI::MB_YESNO | UI::MB_ICONQUESTION) == UI::IDYES;
    };
  hooks.repaint = [this] { Client()->update(); };
  model_ = std::make_unique<CameraPaneModel>(experiment, multipleCameras, std::move(hooks));
}

CCameraPane::~CCameraPane() = default;

int CCameraPane::OnCreate() {
  QWidget* client = Client();
  magnification_ = new QLineEdit(client);
  magnification_->setGeometry(Rect96(100, 220, 180, 235));
  magnification_->setReadOnly(true);
  magnification_->setFont(PanelFont());
  UpdateMagnificationText();
  model_->ReadCaptureState();
  auto button = [&](const QString& text, const QRect& r, int id, const QFont& font) {
    auto* b = new CIconButton(client);
    b->Create(text, UI::WS_VISIBLE, r, client, id);
    b->setFont(font);
    return b;
  };
  capture_ = button(QString::fromStdString(model_->ButtonText()), Rect96(136, 5, 196, 25), kCaptureId, PanelFont());
  connect(capture_, &QPushButton::clicked, this, [this] { ConnectCamera(); });
  calibrate_ = button(QString::fromStdString(UI::LoadString(UI::kCalibrateString)), Rect96(100, 250, 180, 270),
                      kCalibrateId, PanelFont());
  calibrate_->SetIcon(UI::kIconApply);
  connect(calibrate_, &QPushButton::clicked, this, [this] { Calibrate(); });
  const struct {
    PS slider;
    int top, tick, minusId, plusId;
  } rows[] = {
      {PS::First, 50, 100, 42793, 42794}, {PS::Second, 100, 80, 42797, 42798}, {PS::Gain, 150, 120, 42795, 42796}};
  for (const auto& row : rows) {
    const int i = static_cast<int>(row.slider);
    auto* s = new QSlider(Qt::Horizontal, client);
    s->setGeometry(Rect96(30, row.top, 170, row.top + 30));
    s->setTickInterval(row.tick);
    s->setTickPosition(QSlider::TicksBelow);
    s->setEnabled(false);
    connect(s, &QSlider::sliderMoved, this, [this, row](int p) {
      model_->SliderMoved(row.slider, p);
      Sync();
    });
    sliders_[i] = s;
    steps_[i][0] = button(QStringLiteral("-"), Rect96(10, row.top, 30, row.top + 20), row.minusId, HeaderFont());
    steps_[i][1] = button(QStringLiteral("+"), Rect96(170, row.top, 190, row.top + 20), row.plusId, HeaderFont());
    for (int d = 0; d < 2; ++d)
      connect(steps_[i][d], &QPushButton::clicked, this, [this, row, d] {
        model_->Step(row.slider, d == 0 ? -1 : +1);
        Sync();
      });
  }
  UpdateCommands();
  return 0;
}

bool CCameraPane::SetCameraWindow(const std::string& name, CameraWnd* window, int index) {
  const bool attached = model_->SetCameraWindow(name, window ? &window->Model() : nullptr, index);
  if (attached) window_ = window;
  Sync();
  return attached;
}

void CCameraPane::ConnectCamera() {
  model_->ConnectCamera();
  Sync();
}

void CCameraPane::UpdateMagnificationText() {
  if (magnification_) magnification_->setText(QString::asprintf("%.1f", double(Config().Magnification)));
}

void CCameraPane::Calibrate() {
  if (!window_ || !experiment_ || !experiment_->configuration) return;
  CCalibrateCameraDlg dialog(window_->Control().target(), *experiment_->configuration, this);
  dialog.cameraIndex = model_->CameraIndex();
  dialog.experiment = experiment_;
  if (dialog.DoModal() != UI::IDOK) return;
  UpdateMagnificationText();
  window_->Model().LoadCalibration();
}

void CCameraPane::Sync() {
  if (!capture_) return;
  capture_->setText(QString::fromStdString(model_->ButtonText()));
  for (PS s : {PS::First, PS::Second, PS::Gain}) {
    QSlider* slider = sliders_[static_cast<int>(s)];
    const SliderState& state = model_->Slider(s);
    const QSignalBlocker block(slider);
    slider->setRange(state.minimum, state.maximum);
    slider->setValue(state.position);
    slider->setEnabled(model_->SlidersEnabled());
  }
  UpdateCommands();
  Client()->update();
}

void CCameraPane::UpdateCommands() {
  if (!capture_) return;
  calibrate_->setEnabled(model_->CalibrateEnabled());
  capture_->setEnabled(model_->CaptureButtonEnabled());
  for (auto& pair : steps_)
    for (CIconButton* b : pair) b->setEnabled(model_->StepButtonsEnabled());
}

void CCameraPane::OnPaint(QPainter& p) {
  p.setFont(PanelFont());
  auto etched = [&](const QRect& r) {
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(r.adjusted(1, 1, 0, 0));
  };
  p.setPen(palette().color(QPalette::WindowText));
  DrawLabel(p, Rect96(8, 15, 120, 30),
            p.fontMetrics().elidedText(QString::fromStdString(model_->SourceName()), Qt::ElideRight,
                                       Rect96(8, 15, 120, 30).width()),
            Qt::AlignLeft | Qt::AlignBottom);
  etched(Rect96(5, 30, 196, 190));
  const auto labels = model_->Labels();
  // The labels end where their slider's groove begins: a Qt slider draws its groove and handle in the
  // upper half of its rectangle, so a label reaching into that rectangle is hidden by the handle.
  const int tops[] = {32, 82, 132};
  p.setPen(palette().color(QPalette::WindowText));
  for (int i = 0; i < 3; ++i)
    DrawLabel(p, Rect96(30, tops[i], 170, tops[i] + 18), QString::fromStdString(labels[static_cast<std::size_t>(i)]),
              Qt::AlignHCenter | Qt::AlignBottom);
  DrawLabel(p, Rect96(8, 200, 120, 215), QStringLiteral("Calibration"), Qt::AlignLeft | Qt::AlignBottom);
  etched(Rect96(5, 215, 196, 280));
  p.setPen(palette().color(QPalette::WindowText));
  DrawLabel(p, Rect96(12, 220, 80, 235), QStringLiteral("Magnification"), Qt::AlignLeft | Qt::AlignBottom);
}

}  // namespace ORV::Video
