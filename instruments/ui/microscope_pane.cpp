#include "instruments/ui/microscope_pane.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QSlider>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/microscope.h"
#include "instruments/ui/instrument_pane_parts.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/painting.h"
#include "platform/ui/string_table.h"

using namespace ORV::UI;

namespace {

constexpr int kIncubationChamber = 2;

}  // namespace

CMicroscopePane::CMicroscopePane(const ORV::InstrumentPaneContext& context, ORV::Microscope* device,
                                 const Options& options, const QString& title, QWidget* parent)
    : DockingPane(context.configuration, QString::fromLatin1(kObjectNamePrefix) + QString::number(options.index), title,
                  parent),
      experiment_(context.experiment),
      options_(options),
      inbox_(std::make_shared<ORV::SampleInbox>(Target())),
      runner_(std::make_unique<WorkerCommandRunner>(this)),
      logic_(std::make_unique<ORV::MicroscopePaneLogic>(device, *runner_, context.configuration,
                                                        context.configuration.ProductType == kIncubationChamber)) {
  SetHandler(ORV::WM_NEW_SAMPLE, [this](WPARAM w, LPARAM l) { return OnNewSample(w, l); });
  logic_->onChanged = [this] { ShowState(); };
  RepaintOwnerWhenMoved(*this);
}

CMicroscopePane::~CMicroscopePane() { runner_.reset(); }

QSize CMicroscopePane::FixedSize96() const {
  if (!logic_->ShowTemperature()) return {200, 105};
  return {200, options_.showCameraChoice ? 255 : 175};
}

int CMicroscopePane::OnCreate() {
  slider_ = new QSlider(Qt::Horizontal, Client());
  slider_->setObjectName(QStringLiteral("slider%1").arg(kSliderId));
  slider_->setGeometry(Rect96(30, 55, 170, 85));
  slider_->setRange(0, ORV::MicroscopePaneLogic::kMaximumLevel);
  slider_->setTickInterval(100);
  slider_->setTickPosition(QSlider::TicksBelow);
  slider_->setPageStep(100);
  slider_->show();
  QObject::connect(slider_, &QSlider::valueChanged, this, [this](int position) {
    if (!showing_) logic_->SliderMoved(position);
  });
  downButton_ = MakeIconButton(*this, QStringLiteral("-"), Rect96(10, 55, 30, 75), kLightDownId, false);
  upButton_ = MakeIconButton(*this, QStringLiteral("+"), Rect96(170, 55, 190, 75), kLightUpId, false);
  QObject::connect(downButton_, &QPushButton::clicked, this, [this] { logic_->LightDown(); });
  QObject::connect(upButton_, &QPushButton::clicked, this, [this] { logic_->LightUp(); });
  lightEdit_ = MakeValueEdit(*this, Rect96(80, 10, 120, 30), kLightEditId);
  temperatureEdit_ = MakeValueEdit(*this, Rect96(130, 140, 180, 160), kTemperatureEditId);
  temperatureEdit_->setVisible(logic_->ShowTemperature());

  cameraCombo_ = new QComboBox(Client());
  cameraCombo_->setObjectName(QStringLiteral("combo%1").arg(kCameraComboId));
  cameraCombo_->setGeometry(Rect96(80, 210, 190, 235));
  cameraCombo_->setFont(PanelFont());
  if (options_.showCameraChoice) {
    for (const std::string& name : CameraNames()) cameraCombo_->addItem(QString::fromStdString(name));
    cameraCombo_->setCurrentIndex(cameraCombo_->findText(QString::fromStdString(options_.cameraName)));
    QObject::connect(cameraCombo_, &QComboBox::activated, this, [this](int position) { OnCameraSelected(position); });
    cameraCombo_->setVisible(logic_->ShowTemperature());
  } else {
    cameraCombo_->hide();
  }
  logic_->Refresh();
  return 0;
}

void CMicroscopePane::OnPaint(QPainter& painter) {
  constexpr int kLeft = Qt::AlignLeft | Qt::AlignVCenter;
  DrawLabel(painter, Rect96(8, 10, 120, 30), LoadQString(kIRLightString), kLeft);
  DrawEtchedFrame(painter, Rect96(5, 30, 196, 100));
  if (!logic_->ShowTemperature()) return;
  DrawLabel(painter, Rect96(8, 110, 120, 130), LoadQString(kTemperatureString), kLeft);
  DrawEtchedFrame(painter, Rect96(5, 130, 196, 170));
  // In the panel font: in the header font the label runs under the edit.
  painter.setFont(PanelFont());
  DrawLabel(painter, Rect96(15, 140, 128, 160), LoadQString(kChamberTemperatureString), kLeft);
  painter.setFont(HeaderFont());
  if (!options_.showCameraChoice) return;
  DrawLabel(painter, Rect96(8, 180, 120, 200), QStringLiteral("Attached camera"), kLeft);
  DrawEtchedFrame(painter, Rect96(5, 200, 196, 240));
  DrawLabel(painter, Rect96(8, 212, 120, 238), QStringLiteral("Camera :"), kLeft);
}

LRESULT CMicroscopePane::OnNewSample(WPARAM kind, LPARAM ticket) {
  if (kind != ORV::kDeviceMicroscope) return 0;
  if (auto sample = inbox_->Take<ORV::MicroscopeSample>(ticket)) logic_->TakeSample(*sample);
  return 0;
}

std::vector<std::string> CMicroscopePane::CameraNames() const {
  return experiment_.Read([](const ORV::ExperimentContents& c) { return c.cameraNames; });
}

void CMicroscopePane::OnCameraSelected(int position) {
  const std::vector<std::string> names = CameraNames();
  logic_->SelectCamera(position >= 0 && static_cast<std::size_t>(position) < names.size() ? names[position]
                                                                                          : std::string());
}

void CMicroscopePane::ShowState() {
  if (slider_ == nullptr) return;
  showing_ = true;
  slider_->setValue(logic_->SliderPosition());
  showing_ = false;
  slider_->setEnabled(logic_->LightEnabled());
  downButton_->setEnabled(logic_->LightEnabled());
  upButton_->setEnabled(logic_->LightEnabled());
  lightEdit_->setText(logic_->LightText());
  temperatureEdit_->setText(logic_->TemperatureText());
}
