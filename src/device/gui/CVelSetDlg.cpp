#include "device/gui/CVelSetDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "app/LocalizedText.h"
#include "controls/GuiSkin.h"
#include "platform/ProfileFile.h"

namespace tq {
namespace {
constexpr char kPageStyle[] =
    "QLabel { color: #F2F2F2; }"
    "QComboBox, QLineEdit, QSpinBox { color: #F2F2F2; background: #1C2430; border: 1px solid #3A4656; padding: 1px 4px; }"
    "QComboBox QAbstractItemView { color: #F2F2F2; background: #1C2430; selection-background-color: #3A6EA5; }"
    "QCheckBox, QRadioButton { color: #F2F2F2; }";
const QColor kPageGround(16, 22, 30);
}  // namespace

void SelectComboValue(QComboBox* combo, int value) {
  int index = combo->findData(value);
  if (index < 0) {
    combo->addItem(QString::number(value), value);
    index = combo->count() - 1;
  }
  combo->setCurrentIndex(index);
}

CVelSetDlg::CVelSetDlg(unsigned bit, const CameraConfig* config, QWidget* parent)
    : QWidget(parent), bit_(bit), config_(config), grid_(new QGridLayout) {
  const int s = GuiScale();
  setFont(GuiFont(UiFontKind::Normal));
  setStyleSheet(kPageStyle);
  // The page's own dark ground (it sits in a scroll area, which would paint it light),
  // and its rows packed at the top however tall the area is.
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kPageGround);
  setPalette(pal);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addLayout(grid_);
  column->addStretch(1);
  grid_->setContentsMargins(8 * s, 8 * s, 8 * s, 8 * s);
  grid_->setHorizontalSpacing(12 * s);
  grid_->setVerticalSpacing(4 * s);
  grid_->setColumnStretch(1, 1);
}

QString CVelSetDlg::Tr(int section, const char* key) { return QString::fromStdString(LocalizedText(section, key)); }

QLabel* CVelSetDlg::MakeLabel(const QString& text, bool heading) {
  auto* label = new QLabel(text, this);
  if (heading) label->setFont(GuiFont(UiFontKind::Bold));
  return label;
}

void CVelSetDlg::Heading(const QString& text) {
  grid_->addWidget(MakeLabel(text, true), row_++, 0, 1, 2);
}

void CVelSetDlg::AddRow(const QString& label, QWidget* control) {
  grid_->addWidget(MakeLabel(label), row_, 0);
  grid_->addWidget(control, row_++, 1);
}

const ConfigKeyDef* CVelSetDlg::Bind(const char* section, const char* key, Kind kind, QWidget* control) {
  const ConfigKeyDef* def = config_->Find(section, key);
  if (def) bindings_.push_back({def, kind, control});
  return def;
}

QComboBox* CVelSetDlg::Choice(const QString& label, const char* section, const char* key, const Options& options,
                              bool backupNotice) {
  if (!config_->Find(section, key)) return nullptr;
  auto* combo = new QComboBox(this);
  for (const auto& [text, value] : options) combo->addItem(text, value);
  Bind(section, key, Kind::kCombo, combo);
  if (backupNotice) connect(combo, &QComboBox::activated, this, &CVelSetDlg::backupAdvised);
  AddRow(label, combo);
  return combo;
}

QComboBox* CVelSetDlg::OnOff(const QString& label, const char* section, const char* key, bool backupNotice) {
  return Choice(label, section, key, {{Tr(kTextTooltip, "off"), 0}, {"On", 1}}, backupNotice);
}

QSlider* CVelSetDlg::Slider(const QString& label, const char* section, const char* key, const QString& low,
                            const QString& high) {
  const ConfigKeyDef* def = config_->Find(section, key);
  if (!def) return nullptr;
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  auto* slider = new QSlider(Qt::Horizontal, box);
  slider->setRange(def->minValue, def->maxValue);
  slider->setPageStep(1);
  auto* value = new QLabel(box);
  value->setMinimumWidth(24 * GuiScale());
  connect(slider, &QSlider::valueChanged, value, [value](int v) { value->setNum(v); });
  if (!low.isEmpty()) row->addWidget(new QLabel(low, box));
  row->addWidget(slider, 1);
  if (!high.isEmpty()) row->addWidget(new QLabel(high, box));
  row->addWidget(value);
  Bind(section, key, Kind::kSlider, slider);
  AddRow(label, box);
  return slider;
}

QLineEdit* CVelSetDlg::Text(const QString& label, const char* section, const char* key) {
  const ConfigKeyDef* def = config_->Find(section, key);
  if (!def) return nullptr;
  auto* edit = new QLineEdit(this);
  edit->setMaxLength(def->maxValue);
  Bind(section, key, Kind::kText, edit);
  AddRow(label, edit);
  return edit;
}

QCheckBox* CVelSetDlg::Check(const QString& label, const char* section, const char* key) {
  if (!config_->Find(section, key)) return nullptr;
  auto* box = new QCheckBox(label, this);
  Bind(section, key, Kind::kCheck, box);
  grid_->addWidget(box, row_++, 0, 1, 2);
  return box;
}

QSpinBox* CVelSetDlg::Number(const QString& label, const char* section, const char* key, const QString& unit) {
  const ConfigKeyDef* def = config_->Find(section, key);
  if (!def) return nullptr;
  auto* spin = new QSpinBox(this);
  spin->setRange(def->minValue, def->maxValue);
  spin->setSuffix(unit);
  Bind(section, key, Kind::kSpin, spin);
  AddRow(label, spin);
  return spin;
}

void CVelSetDlg::Load(const CameraConfig& record) {
  for (const Binding& b : bindings_) {
    const std::string value = record.Get(b.def->section, b.def->key);
    switch (b.kind) {
      case Kind::kCombo:
        SelectComboValue(static_cast<QComboBox*>(b.control), ParseProfileInt(value));
        break;
      case Kind::kSlider: {
        auto* slider = static_cast<QSlider*>(b.control);
        int v = ParseProfileInt(value);
        // A stored value outside our range widens it rather than being moved.
        slider->setRange(std::min(b.def->minValue, v), std::max(b.def->maxValue, v));
        slider->setValue(v);
        break;
      }
      case Kind::kText:
        static_cast<QLineEdit*>(b.control)->setText(QString::fromStdString(value));
        break;
      case Kind::kCheck:
        static_cast<QCheckBox*>(b.control)->setChecked(ParseProfileInt(value) != 0);
        break;
      case Kind::kSpin: {
        auto* spin = static_cast<QSpinBox*>(b.control);
        int v = ParseProfileInt(value);
        spin->setRange(std::min(b.def->minValue, v), std::max(b.def->maxValue, v));
        spin->setValue(v);
        break;
      }
    }
  }
}

void CVelSetDlg::Collect(CameraConfig* record) const {
  for (const Binding& b : bindings_) {
    switch (b.kind) {
      case Kind::kCombo:
        record->SetInt(b.def->section, b.def->key, static_cast<QComboBox*>(b.control)->currentData().toInt());
        break;
      case Kind::kSlider:
        record->SetInt(b.def->section, b.def->key, static_cast<QSlider*>(b.control)->value());
        break;
      case Kind::kText:
        record->Set(b.def->section, b.def->key, static_cast<QLineEdit*>(b.control)->text().toStdString());
        break;
      case Kind::kCheck:
        record->SetInt(b.def->section, b.def->key, static_cast<QCheckBox*>(b.control)->isChecked() ? 1 : 0);
        break;
      case Kind::kSpin:
        record->SetInt(b.def->section, b.def->key, static_cast<QSpinBox*>(b.control)->value());
        break;
    }
  }
}

void CVelSetDlg::ResetDefaults() {
  for (const Binding& b : bindings_) {
    switch (b.kind) {
      case Kind::kCombo:
        SelectComboValue(static_cast<QComboBox*>(b.control), b.def->defaultValue);
        break;
      case Kind::kSlider:
        static_cast<QSlider*>(b.control)->setValue(b.def->defaultValue);
        break;
      case Kind::kText:
        static_cast<QLineEdit*>(b.control)->clear();
        break;
      case Kind::kCheck:
        static_cast<QCheckBox*>(b.control)->setChecked(b.def->defaultValue != 0);
        break;
      case Kind::kSpin:
        static_cast<QSpinBox*>(b.control)->setValue(b.def->defaultValue);
        break;
    }
  }
}

QWidget* CVelSetDlg::Field(const std::string& name) const {
  for (const Binding& b : bindings_)
    if (ConfigName(*b.def) == name) return b.control;
  return nullptr;
}

}  // namespace tq
