#include "video/ui/calibrate_camera_dlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/ui/set_value_dialog.h"
#include "platform/ui/dpi.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"

namespace ORV::Video {

namespace {

constexpr std::uint32_t kStringMagnificationRange = 136;
constexpr std::uint32_t kStringEnterMicrons = 14;
constexpr std::uint32_t kStringOutOfRangeTitle = 5;
constexpr std::uint32_t kStringOutOfRangeText = 15;

QImage StillImage(const StillFrame& frame) {
  if (!frame.HasPicture()) return {};
  const int width = frame.Width(), height = std::abs(frame.Height());
  const int bits = frame.BitCount();
  const QImage::Format format = bits == 32   ? QImage::Format_RGB32
                                : bits == 24 ? QImage::Format_BGR888
                                : bits == 8  ? QImage::Format_Grayscale8
                                             : QImage::Format_Invalid;
  if (format == QImage::Format_Invalid) return {};
  const int stride = ((width * bits / 8) + 3) & ~3;
  if (frame.bytes.size() < 44 + std::size_t(stride) * height) return {};
  QImage image(frame.bytes.data() + 44, width, height, stride, format);
  image = image.copy();
  if (frame.Height() > 0) image = image.mirrored(false, true);  // rows bottom-up
  if (format == QImage::Format_BGR888) image = image.rgbSwapped().rgbSwapped();
  return image;
}

}  // namespace

CCalibrateCameraDlg::CCalibrateCameraDlg(Com::IDispatch* control, Configuration& config, QWidget* parent)
    : UI::Dialog({.caption = "Calibrate Camera", .widthDlu = 474, .heightDlu = 345}, parent),
      control_(control),
      config_(config),
      tracker_(this) {
  tracker_.style = CTransformTracker::kDottedPath;
  tracker_.UseCompactFrame();
  const int dpi = QueryDpi();
  auto at = [dpi](QWidget* w, int x, int y, int width, int height) {
    w->setGeometry(ScaleByDpi(x, dpi), ScaleByDpi(y, dpi), ScaleByDpi(width, dpi), ScaleByDpi(height, dpi));
  };
  const int x = 626, width = 150;
  auto* magnificationLabel = new QLabel("Magnification", this);
  at(magnificationLabel, x, 10, width, 18);
  combo_ = new QComboBox(this);
  combo_->setObjectName(QString::number(kMagnificationId));
  combo_->setEditable(true);
  combo_->setInsertPolicy(QComboBox::InsertAlphabetically);
  at(combo_, x, 30, width, 24);
  takePicture_ = new QPushButton("Take picture", this);
  at(takePicture_, x, 66, width, 26);
  auto* group = new QGroupBox("Measure", this);
  at(group, x, 104, width, 128);
  width_ = new QRadioButton("Width", group);
  height_ = new QRadioButton("Height", group);
  width_->setGeometry(ScaleByDpi(10, dpi), ScaleByDpi(22, dpi), ScaleByDpi(120, dpi), ScaleByDpi(20, dpi));
  height_->setGeometry(ScaleByDpi(10, dpi), ScaleByDpi(44, dpi), ScaleByDpi(120, dpi), ScaleByDpi(20, dpi));
  slider_ = new QSlider(Qt::Horizontal, group);
  slider_->setGeometry(ScaleByDpi(10, dpi), ScaleByDpi(70, dpi), ScaleByDpi(130, dpi), ScaleByDpi(22, dpi));
  minus_ = new QPushButton("-", group);
  plus_ = new QPushButton("+", group);
  minus_->setGeometry(ScaleByDpi(10, dpi), ScaleByDpi(96, dpi), ScaleByDpi(30, dpi), ScaleByDpi(24, dpi));
  plus_->setGeometry(ScaleByDpi(110, dpi), ScaleByDpi(96, dpi), ScaleByDpi(30, dpi), ScaleByDpi(24, dpi));
  auto* scaleLabel = new QLabel("\u00B5m/pixels", this);
  at(scaleLabel, x, 244, width, 18);
  scaleField_ = new QLineEdit(this);
  scaleField_->setReadOnly(true);
  at(scaleField_, x, 264, width, 24);
  auto* measurementLabel = new QLabel("Measurement (\u00B5m)", this);
  at(measurementLabel, x, 298, width, 18);
  measurement_ = new QLineEdit(this);
  at(measurement_, x, 318, width, 24);
  calibrate_ = new QPushButton("Calibrate", this);
  at(calibrate_, x, 356, width, 26);
  auto* close = new QPushButton("Close", this);
  close->setDefault(true);
  at(close, x, 484, width, 26);

  connect(close, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(calibrate_, &QPushButton::clicked, this, [this] { OnCalibrate(); });
  connect(takePicture_, &QPushButton::clicked, this, [this] { TakePicture(); });
  connect(width_, &QRadioButton::clicked, this, [this] {
    model_->measure = CalibrationModel::Measure::Width;
    Rebuild(true);
  });
  connect(height_, &QRadioButton::clicked, this, [this] {
    model_->measure = CalibrationModel::Measure::Height;
    Rebuild(true);
  });
  connect(slider_, &QSlider::valueChanged, this, [this](int value) {
    model_->slider = value;
    Rebuild(true);
  });
  connect(minus_, &QPushButton::clicked, this, [this] {
    if (slider_->value() >= 1) slider_->setValue(slider_->value() - 1);
  });
  connect(plus_, &QPushButton::clicked, this, [this] {
    if (slider_->value() < CalibrationModel::kSliderMax) slider_->setValue(slider_->value() + 1);
  });
  connect(combo_, &QComboBox::activated, this, [this](int index) {
    if (model_->Select(combo_->itemText(index).toStdString())) ShowScale(model_->ResultScale());
  });
  askLength = [this]() -> std::optional<QString> {
    CSetValueDialog ask(this);
    ask.labelText = UI::LoadQString(kStringEnterMicrons);
    ask.balloonTitle = UI::LoadQString(kStringOutOfRangeTitle);
    ask.balloonText = UI::LoadQString(kStringOutOfRangeText);
    ask.decimalFlag = 1;
    ask.minimum = 0.0f;
    ask.maximum = 1000.0f;
    if (ask.DoModal() != UI::IDOK) return std::nullopt;
    return ask.resultText;
  };
}

CCalibrateCameraDlg::~CCalibrateCameraDlg() = default;

bool CCalibrateCameraDlg::OnInitDialog() {
  model_ = std::make_unique<CalibrationModel>(config_, cameraIndex);
  model_->GrabFrame(control_);
  SetControlsEnabled(false);
  calibrate_->setEnabled(false);
  for (const std::string& entry : model_->ComboEntries()) combo_->addItem(QString::fromStdString(entry));
  combo_->model()->sort(0);
  if (model_->InitialSelection() >= 0)
    combo_->setCurrentIndex(
        combo_->findText(QString::fromStdString(model_->ComboEntries()[model_->InitialSelection()])));
  else
    combo_->setCurrentIndex(-1);
  ShowScale(model_->ResultScale());
  width_->setChecked(true);
  // The frame area and the control column are laid out in 96-DPI pixels:
  // the dialog holds them at any DPI.
  const int dpi = QueryDpi();
  setFixedSize(std::max(width(), ScaleByDpi(790, dpi)), std::max(height(), ScaleByDpi(530, dpi)));
  Render();
  return true;
}

void CCalibrateCameraDlg::SetControlsEnabled(bool on) {
  slider_->setEnabled(on);
  minus_->setEnabled(on);
  plus_->setEnabled(on);
}

void CCalibrateCameraDlg::ShowScale(double value) {
  scaleField_->setText(QString::fromStdString(CalibrationModel::FormatScale(value)));
}

void CCalibrateCameraDlg::TakePicture() {
  model_->GrabFrame(control_);
  Render();
}

void CCalibrateCameraDlg::resizeEvent(QResizeEvent* e) {
  UI::Dialog::resizeEvent(e);
  if (model_) Render();
}

void CCalibrateCameraDlg::Render() {
  const qreal ratio = devicePixelRatioF();
  screenImage_ = QImage(size() * ratio, QImage::Format_RGB32);
  screenImage_.setDevicePixelRatio(ratio);
  screenImage_.fill(palette().window().color());
  screen_.image = &screenImage_;
  screen_.clipBox = QRect(QPoint(0, 0), screenImage_.size());
  screen_.mapping = QTransform::fromScale(ratio, ratio);
  screen_.textMode = ratio == 1.0;
  const int dpi = QueryDpi();
  QPainter p(&screenImage_);
  const StillFrame& frame = model_->Frame();
  if (frame.HasPicture()) {
    const QRect area = UI::ScaleRect(10, 10, 610, 510, dpi);
    p.fillRect(area, Qt::white);
    p.setPen(palette().dark().color());
    p.drawRect(area.adjusted(-1, -1, 1, 1));
    p.setPen(palette().light().color());
    p.drawRect(area.adjusted(-2, -2, 0, 0));
    const FrameLayout layout = model_->Layout();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(ScaleByDpi(layout.left, dpi), ScaleByDpi(layout.top, dpi), ScaleByDpi(layout.width, dpi),
                      ScaleByDpi(layout.height, dpi)),
                StillImage(frame));
  }
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(255, 0, 0), 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(BufferCanvas::ToPainterPath(figure_));
  p.end();
  if (tracker_.HasShape() && showTracker_) {
    ScreenCanvas canvas(&screen_);
    tracker_.DrawFrame(&canvas);
  }
  const std::string measured = model_->MeasurementText(dpi);
  if (!measured.empty()) measurement_->setText(QString::fromStdString(measured));
  update();
}

void CCalibrateCameraDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, screenImage_);
}

void CCalibrateCameraDlg::Rebuild(bool repaint) {
  if (figure_.Empty()) return;
  figure_ = model_->Figure();
  showTracker_ = false;
  if (repaint) Render();
}

bool CCalibrateCameraDlg::FigureHit(QPointF at) const {
  if (figure_.Empty()) return false;
  return figure_.IntegerBounds().Inflated(30, 30).Contains({at.x(), at.y()});
}

void CCalibrateCameraDlg::DrawnRectangle(QPointF from, QPointF to) {
  model_->SetRectangle(from.x(), from.y(), to.x() - from.x(), to.y() - from.y());
  if (!model_->RectangleLargeEnough()) return;
  calibrate_->setEnabled(true);
  figure_ = model_->Figure();
  showTracker_ = false;
  Render();
  SetControlsEnabled(true);
  const QSignalBlocker block(slider_);
  slider_->setRange(0, CalibrationModel::kSliderMax);
  slider_->setValue(10);
  model_->slider = 10;
}

void CCalibrateCameraDlg::EditFigure(QPointF at) {
  for (;;) {
    tracker_.SetPath(figure_, true);
    showTracker_ = true;
    Render();
    WidgetTrackSource source(this, &screen_);
    const int result = tracker_.Track(source, kMouseLeft, {at.x(), at.y()});
    if (result < 0) break;
    if (result == 0) {
      if (!FigureHit(at)) break;
      continue;
    }
    ShapePath copy = figure_;
    copy.Transform(tracker_.DragMatrix());
    tracker_.SetPath(copy, false);
    figure_ = copy;
    double l, t, r, b;
    figure_.Bounds(l, t, r, b);
    model_->SetRectangle(l, t, r - l, b - t);
    Render();
    return;
  }
  showTracker_ = false;
  Render();
}

void CCalibrateCameraDlg::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && model_) {
    if (FigureHit(e->position())) {
      EditFigure(e->position());
    } else {
      showTracker_ = false;
      Render();
      CRubberBandTracker band;
      WidgetTrackSource source(this, &screen_);
      band.Track(source, kMouseLeft, {e->position().x(), e->position().y()});
      const PointF end = band.CurrentPoint();
      DrawnRectangle(e->position(), {end.x, end.y});
    }
  }
  UI::Dialog::mousePressEvent(e);
}

void CCalibrateCameraDlg::mouseMoveEvent(QMouseEvent* e) {
  if (tracker_.HasShape() && showTracker_) {
    tracker_.SetKeyState(WidgetTrackSource::KeysNow());
    const int hit = tracker_.HitTestHandles({e->position().x(), e->position().y()});
    if (hit >= 0) {
      tracker_.SetCursor(hit);
      return;
    }
  }
  unsetCursor();
  UI::Dialog::mouseMoveEvent(e);
}

bool CCalibrateCameraDlg::PreTranslateKey(QWidget* target, QKeyEvent* key) {
  if (combo_->lineEdit() && target == combo_->lineEdit()) {
    const int k = key->key();
    if ((k >= Qt::Key_0 && k <= Qt::Key_9) || k == Qt::Key_Backspace || k == Qt::Key_Delete || k == Qt::Key_Left ||
        k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down)
      return false;
    if (k == Qt::Key_Period) return combo_->lineEdit()->cursorPosition() == 0;
    return true;
  }
  if (model_ && model_->HasRectangle()) {
    showTracker_ = false;
    std::optional<CalibrationModel::Arrow> arrow;
    switch (key->key()) {
      case Qt::Key_Up:
        arrow = CalibrationModel::Arrow::Up;
        break;
      case Qt::Key_Down:
        arrow = CalibrationModel::Arrow::Down;
        break;
      case Qt::Key_Left:
        arrow = CalibrationModel::Arrow::Left;
        break;
      case Qt::Key_Right:
        arrow = CalibrationModel::Arrow::Right;
        break;
      default:
        break;
    }
    const int dpi = QueryDpi();
    const QRect client = UI::ScaleRect(0, 0, 610, 510, dpi);
    if (arrow && model_->Nudge(*arrow, key->modifiers() & Qt::ShiftModifier, key->modifiers() & Qt::ControlModifier,
                               client.width(), client.height())) {
      figure_ = model_->Figure();
      Render();
      return true;
    }
    if (!figure_.Empty()) figure_ = model_->Figure();
  }
  return UI::Dialog::PreTranslateKey(target, key);
}

void CCalibrateCameraDlg::OnCalibrate() {
  const std::string text = combo_->currentText().trimmed().toStdString();
  double m = 0.0;
  switch (model_->CheckMagnification(text, m)) {
    case CalibrationModel::Outcome::Nothing:
      return;
    case CalibrationModel::Outcome::MagnificationOutOfRange:
      UI::MessageBox(this, UI::LoadQString(kStringMagnificationRange), UI::ApplicationTitle(), UI::MB_ICONSTOP);
      return;
    case CalibrationModel::Outcome::NoPicture:
      UI::MessageBox(this, "There is no picture from the camera to calibrate on. Take a picture first.",
                     UI::ApplicationTitle(), UI::MB_ICONSTOP);
      return;
    default:
      break;
  }
  const std::optional<QString> answer = askLength ? askLength() : std::nullopt;
  if (!answer) return;
  bool ok = false;
  const double microns = answer->trimmed().toDouble(&ok);
  if (!ok || !(microns > 0.0)) return;
  const std::size_t listed = model_->ComboEntries().size();
  const auto outcome = model_->Calibrate(m, microns, figure_, QueryDpi());
  if (outcome == CalibrationModel::Outcome::FigureTooSmall) {
    UI::MessageBox(this, "The marked figure has no width or height to measure. Draw it again.", UI::ApplicationTitle(),
                   UI::MB_ICONSTOP);
    return;
  }
  if (outcome != CalibrationModel::Outcome::Calibrated) return;
  ShowScale(model_->ResultScale());
  Render();  // the measurement now follows the new calibration
  if (model_->ComboEntries().size() > listed) {
    const QString entry = QString::fromStdString(model_->ComboEntries().back());
    int at = 0;
    while (at < combo_->count() && combo_->itemText(at) < entry) ++at;
    combo_->insertItem(at, entry);
    combo_->setCurrentIndex(at);
  }
}

void CCalibrateCameraDlg::OnOK() {
  std::string name;
  if (experiment)
    name = experiment->Read([camera = cameraIndex](const ExperimentContents& c) {
      return std::size_t(camera) < c.cameraNames.size() ? c.cameraNames[camera] : std::string();
    });
  markerText_ = model_->Store(name);
  if (experiment) experiment->AddMarkerNow(markerText_, cameraIndex);
  EndDialog(UI::IDOK);
}

}  // namespace ORV::Video
