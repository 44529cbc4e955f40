#include "device/gui/CSetOemDlg.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>

namespace tq {

CSetOemDlg::CSetOemDlg(const CameraConfig* config, QWidget* parent) : CVelSetDlg(0, config, parent) {
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  on_ = new QRadioButton("On", box);
  off_ = new QRadioButton("Off", box);
  auto* group = new QButtonGroup(box);
  group->addButton(on_, kOnControl);
  group->addButton(off_, kOffControl);
  row->addWidget(on_);
  row->addWidget(off_);
  row->addStretch(1);
  AddRow(Tr(kTextTooltip, "pip_setting"), box);
}

void CSetOemDlg::LoadPip(int videoPip) { (videoPip == 1 ? on_ : off_)->setChecked(true); }

int CSetOemDlg::Pip() const { return on_->isChecked() ? 1 : 0; }

void CSetOemDlg::ResetDefaults() { on_->setChecked(true); }

}  // namespace tq
