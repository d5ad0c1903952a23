#include "custom_traces/ui/custom_trace_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <pugixml.hpp>

#include "custom_traces/ui/custom_script_editor.h"
#include "custom_traces/ui/custom_script_help.h"
#include "platform/ui/message_box.h"
#include "platform/ui/resources.h"
#include "platform/ui/string_table.h"

namespace ORV::Traces {
namespace {

// The unit list: the string table's ten unit texts, "None" first.
constexpr int kUnitCount = 10;

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string U(const QString& text) { return text.toStdString(); }

}  // namespace

std::vector<std::string> LoadInsertNames() {
  std::vector<std::string> names;
  const auto text = UI::FindResource("custom_traces/commands.xml");
  if (!text) return names;
  pugi::xml_document doc;
  if (!doc.load_buffer(text->data(), text->size())) return names;
  for (pugi::xml_node command : doc.child("Commands").children("Command")) {
    names.emplace_back(command.attribute("Name").value());
  }
  return names;
}

CustomTraceDialog::CustomTraceDialog(std::string folder, QWidget* parent)
    : UI::Dialog(UI::DialogFrame{QStringLiteral("Custom Traces"), true, true, 0, 0}, parent),
      model_(
          std::move(folder), UI::LoadString(UI::kNoUnitString),
          [this](const std::string& question) {
            return UI::MessageBox(this, Q(question), QString(), UI::MB_YESNO | UI::MB_ICONQUESTION) == UI::IDYES;
          },
          [this](const std::string& message) {
            UI::MessageBox(this, Q(message), QString(), UI::MB_OK | UI::MB_ICONEXCLAMATION);
          }) {
  setSizeGripEnabled(true);
  const QSize size = MapDialogRect(0, 0, 309, 337).size();
  setMinimumSize(size);
  resize(size);
}

CustomTraceDialog::~CustomTraceDialog() = default;

void CustomTraceDialog::SetCustomTraces(const std::map<int, std::shared_ptr<CustomTracesWithLuaContext>>& traces) {
  model_.SetCustomTraces(traces);
}

void CustomTraceDialog::SetNotifyWindow(std::shared_ptr<OS::MessageTarget> target) {
  model_.SetNotifyTarget(std::move(target));
}

void CustomTraceDialog::BuildControls() {
  const auto dlu = [this](int x, int y) { return MapDialogRect(0, 0, x, y).size(); };
  const QSize gap = dlu(4, 4);
  const auto button = [&](const QString& caption, int widthDlu) {
    auto* b = new QPushButton(caption, this);
    b->setAutoDefault(false);
    b->setMinimumSize(dlu(widthDlu, 14));
    return b;
  };
  const auto number = [&] {
    auto* e = new QLineEdit(this);
    e->setValidator(new QIntValidator(e));
    e->setMaximumWidth(dlu(40, 0).width());
    return e;
  };

  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(gap.width() * 2, gap.height() * 2, gap.width() * 2, gap.height() * 2);
  top->setSpacing(gap.height());

  // The list, with "+" and "-" on its right.
  auto* listRow = new QHBoxLayout;
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("traceList"));
  list_->setMinimumHeight(dlu(0, 44).height());
  list_->setMaximumHeight(dlu(0, 60).height());
  auto* listButtons = new QVBoxLayout;
  add_ = button(QStringLiteral("+"), 16);
  remove_ = button(QStringLiteral("-"), 16);
  listButtons->addWidget(add_);
  listButtons->addWidget(remove_);
  listButtons->addStretch();
  listRow->addWidget(list_, 1);
  listRow->addLayout(listButtons);
  top->addLayout(listRow);

  // Name, sample rate and unit.
  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(gap.width() * 2);
  name_ = new QLineEdit(this);
  sampleRate_ = new QComboBox(this);
  for (const char* rate : kSampleRateNames) sampleRate_->addItem(QString::fromLatin1(rate));
  unit_ = new QComboBox(this);
  unit_->setEditable(true);
  unit_->setInsertPolicy(QComboBox::NoInsert);
  for (int i = 0; i < kUnitCount; ++i) unit_->addItem(UI::LoadQString(UI::kNoUnitString + i));
  fields->addWidget(new QLabel(QStringLiteral("Name"), this), 0, 0);
  fields->addWidget(name_, 0, 1, 1, 3);
  fields->addWidget(new QLabel(QStringLiteral("Sample rate"), this), 1, 0);
  fields->addWidget(sampleRate_, 1, 1);
  fields->addWidget(new QLabel(QStringLiteral("Unit type"), this), 1, 2);
  fields->addWidget(unit_, 1, 3);
  fields->setColumnStretch(1, 1);
  fields->setColumnStretch(3, 1);
  top->addLayout(fields);

  // The axis settings: the two check boxes and the two number groups.
  auto* axis = new QHBoxLayout;
  auto* checks = new QVBoxLayout;
  autoRange_ = new QCheckBox(QStringLiteral("Auto Range"), this);
  showUnit_ = new QCheckBox(QStringLiteral("Show Unit Type"), this);
  checks->addWidget(autoRange_);
  checks->addWidget(showUnit_);
  checks->addStretch();
  const auto group = [&](const QString& title, const QString& first, QLineEdit*& a, const QString& second,
                         QLineEdit*& b) {
    auto* box = new QGroupBox(title, this);
    auto* grid = new QGridLayout(box);
    a = number();
    b = number();
    grid->addWidget(new QLabel(first, box), 0, 0);
    grid->addWidget(a, 0, 1);
    grid->addWidget(new QLabel(second, box), 1, 0);
    grid->addWidget(b, 1, 1);
    return box;
  };
  axis->addLayout(checks);
  axis->addWidget(group(QStringLiteral("Vertical Limits"), QStringLiteral("Minimum"), minimum_,
                        QStringLiteral("Maximum"), maximum_));
  axis->addWidget(group(QStringLiteral("Label Count"), QStringLiteral("Horizontal"), horizontal_,
                        QStringLiteral("Vertical"), vertical_));
  axis->addStretch();
  top->addLayout(axis);

  // "Script", and the names to insert on the right.
  auto* scriptRow = new QHBoxLayout;
  scriptLabel_ = new QLabel(QStringLiteral("Script"), this);
  insert_ = new QComboBox(this);
  insert_->setObjectName(QStringLiteral("insertList"));
  insert_->setMinimumWidth(dlu(90, 0).width());
  for (const std::string& name : LoadInsertNames()) insert_->addItem(Q(name));
  insertButton_ = button(QStringLiteral("Insert"), 40);
  scriptRow->addWidget(scriptLabel_);
  scriptRow->addStretch();
  scriptRow->addWidget(insert_);
  scriptRow->addWidget(insertButton_);
  top->addLayout(scriptRow);

  editor_ = new CustomScriptEditor(this);
  editor_->setMinimumHeight(dlu(0, 80).height());
  top->addWidget(editor_, 1);

  // "?" on the left; "Edit", "Save" and "Cancel" on the right.
  auto* buttons = new QHBoxLayout;
  help_ = button(QStringLiteral("?"), 16);
  edit_ = button(QStringLiteral("Edit"), 50);
  save_ = button(QStringLiteral("Save"), 50);
  save_->setDefault(true);
  cancel_ = button(QStringLiteral("Cancel"), 50);
  buttons->addWidget(help_);
  buttons->addStretch();
  buttons->addWidget(edit_);
  buttons->addWidget(save_);
  buttons->addWidget(cancel_);
  top->addLayout(buttons);

  connect(add_, &QPushButton::clicked, this, [this] { OnNew(); });
  connect(remove_, &QPushButton::clicked, this, [this] { OnDelete(); });
  connect(edit_, &QPushButton::clicked, this, [this] { OnEdit(); });
  connect(save_, &QPushButton::clicked, this, [this] { OnSave(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { OnCancelEdit(); });
  connect(help_, &QPushButton::clicked, this, [this] { OnHelp(); });
  connect(insertButton_, &QPushButton::clicked, this, [this] { OnInsert(); });
  connect(list_, &QListWidget::currentRowChanged, this, [this] { OnSelectionChanged(); });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { OnEdit(); });
}

bool CustomTraceDialog::OnInitDialog() {
  BuildControls();
  model_.Fill();
  ShowList();
  ShowFields(model_.Shown());
  ShowMode();
  list_->setFocus(Qt::OtherFocusReason);
  return false;
}

void CustomTraceDialog::ShowList() {
  showing_ = true;
  list_->clear();
  for (const std::string& line : model_.Lines()) list_->addItem(Q(line));
  list_->setCurrentRow(model_.Selection());
  if (model_.Selection() < 0) list_->clearSelection();
  showing_ = false;
}

void CustomTraceDialog::ShowFields(const CustomTraceFields& f) {
  name_->setText(Q(f.name));
  sampleRate_->setCurrentIndex(f.sampleRate >= 0 && f.sampleRate < sampleRate_->count() ? f.sampleRate : -1);
  if (f.unitIndex >= 0 && f.unitIndex < unit_->count()) {
    unit_->setCurrentIndex(f.unitIndex);
  } else {
    unit_->setCurrentIndex(-1);
    unit_->setEditText(Q(f.unitText));
  }
  minimum_->setText(Q(f.minimum));
  maximum_->setText(Q(f.maximum));
  horizontal_->setText(Q(f.horizontal));
  vertical_->setText(Q(f.vertical));
  autoRange_->setChecked(f.autoRange);
  showUnit_->setChecked(f.showUnit);
  editor_->setText(Q(f.code));
}

void CustomTraceDialog::ShowMode() {
  const bool editing = model_.Editing();
  for (QWidget* w : std::initializer_list<QWidget*>{name_, sampleRate_, unit_, editor_, save_, cancel_, minimum_,
                                                    maximum_, horizontal_, vertical_, showUnit_, autoRange_}) {
    w->setEnabled(editing);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{list_, remove_, add_}) w->setEnabled(!editing);
  edit_->setEnabled(model_.CanEdit());
}

CustomTraceFields CustomTraceDialog::ReadFields() const {
  CustomTraceFields f;
  f.name = U(name_->text());
  f.sampleRate = sampleRate_->currentIndex();
  f.unitText = U(unit_->currentText());
  // A typed unit that is one of the list's is that entry; any other is -1.
  f.unitIndex = unit_->findText(unit_->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
  f.autoRange = autoRange_->isChecked();
  f.showUnit = showUnit_->isChecked();
  f.minimum = U(minimum_->text());
  f.maximum = U(maximum_->text());
  f.horizontal = U(horizontal_->text());
  f.vertical = U(vertical_->text());
  f.code = U(editor_->text());
  return f;
}

void CustomTraceDialog::OnSelectionChanged() {
  if (showing_) return;
  model_.Select(list_->currentRow());
  ShowFields(model_.Shown());
}

void CustomTraceDialog::OnNew() {
  model_.New();
  ShowList();
  ShowFields(model_.Shown());
  ShowMode();
  name_->setFocus(Qt::OtherFocusReason);
  name_->selectAll();
}

void CustomTraceDialog::OnEdit() {
  if (model_.Editing()) return;
  model_.Edit();
  ShowMode();
  editor_->setFocus(Qt::OtherFocusReason);
}

void CustomTraceDialog::OnSave() {
  const auto result = model_.Save(ReadFields());
  if (result != CustomTraceDialogModel::SaveResult::Saved &&
      result != CustomTraceDialogModel::SaveResult::WriteFailed) {
    return;
  }
  ShowList();
  ShowFields(model_.Shown());
  ShowMode();
}

void CustomTraceDialog::OnCancelEdit() {
  model_.Cancel();
  ShowList();
  ShowFields(model_.Shown());
  ShowMode();
}

void CustomTraceDialog::OnDelete() {
  if (!model_.Delete()) return;
  ShowList();
  ShowFields(model_.Shown());
  ShowMode();
}

void CustomTraceDialog::OnHelp() {
  if (helpWindow_ && !helpWindow_->Closed()) return;
  helpWindow_.reset();
  const QString text = CustomScriptHelp::LoadHelpText();
  if (text.isEmpty()) return;
  helpWindow_ = std::make_unique<CustomScriptHelp>(text, this);
  helpWindow_->Create();
}

void CustomTraceDialog::OnInsert() {
  // Names go into the script only while it is being edited.
  if (!model_.Editing() || insert_->currentIndex() < 0) return;
  editor_->InsertAtCaret(insert_->currentText());
}

}  // namespace ORV::Traces
