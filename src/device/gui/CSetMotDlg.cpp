#include "device/gui/CSetMotDlg.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QTabBar>
#include <QVBoxLayout>

#include "app/LocalizedText.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"
#include "device/MotionThumb.h"

namespace tq {
namespace {
constexpr int kEditorWidth = 480, kEditorHeight = 270;  // x UI scale
const QColor kCellOn(230, 60, 60, 110);
const QColor kGrid(255, 255, 255, 160);
const QColor kNoPicture(5, 10, 16);

QImage LoadBackground(const std::string& folder, const std::string& suffix) {
  std::vector<uint8_t> jpeg;
  QImage image;
  if (NewestThumbJpeg(folder, suffix, &jpeg)) image.loadFromData(jpeg.data(), int(jpeg.size()), "JPG");
  return image;
}
}  // namespace

CSetMot::CSetMot(QWidget* parent) : QWidget(parent) {
  setFixedSize(kEditorWidth * GuiScale(), kEditorHeight * GuiScale());
}

void CSetMot::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void CSetMot::SetMask(uint32_t mask) {
  mask_ = mask;
  update();
}

QRect CSetMot::CellRect(int column, int row) const {
  const int x0 = width() * column / kColumns, x1 = width() * (column + 1) / kColumns;
  const int y0 = height() * row / kRows, y1 = height() * (row + 1) / kRows;
  return QRect(x0, y0, x1 - x0, y1 - y0);
}

void CSetMot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (picture_.isNull()) p.fillRect(rect(), kNoPicture);
  else p.drawImage(rect(), picture_);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      if (mask_ & (1u << (r * kColumns + c))) p.fillRect(CellRect(c, r), kCellOn);
    }
  }
  p.setPen(kGrid);
  for (int c = 1; c < kColumns; ++c) p.drawLine(CellRect(c, 0).left(), 0, CellRect(c, 0).left(), height());
  for (int r = 1; r < kRows; ++r) p.drawLine(0, CellRect(0, r).top(), width(), CellRect(0, r).top());
}

void CSetMot::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (!rect().contains(pos)) return;
  const int c = pos.x() * kColumns / width(), r = pos.y() * kRows / height();
  mask_ ^= 1u << (r * kColumns + c);
  update();
}

CSetMotDlg::CSetMotDlg(const std::string& recordFolder, bool rear, std::array<uint32_t, 2> masks, QWidget* parent)
    : QDialog(parent),
      masks_(masks),
      tabs_(new QTabBar(this)),
      editor_(new CSetMot(this)),
      save_(new CVelTextBut(this)),
      quit_(new CVelTextBut(this)) {
  setStyleSheet("QDialog { background: #10161E; }"
                "QTabBar::tab { color: #C8C8C8; background: #1C2430; padding: 4px 10px; }"
                "QTabBar::tab:selected { color: #FFFFFF; background: #3A6EA5; }");
  // The newest front recording carries the camera letter "F" only when a rear exists.
  pictures_[0] = LoadBackground(recordFolder, rear ? "F" : "");
  tabs_->addTab(QString::fromStdString(LocalizedText(kTextTooltip, "front")));
  if (rear) {
    pictures_[1] = LoadBackground(recordFolder, "R");
    tabs_->addTab(QString::fromStdString(LocalizedText(kTextTooltip, "rear")));
  }
  save_->SetText(QString::fromStdString(LocalizedText(kTextLable, "wifi_config_save")));
  quit_->SetText(QString::fromStdString(LocalizedText(kTextLable, "wifi_config_quit")));
  for (CVelTextBut* b : {save_, quit_}) b->setFixedSize(b->sizeHint());
  connect(tabs_, &QTabBar::currentChanged, this, &CSetMotDlg::ShowCamera);
  connect(save_, &QAbstractButton::clicked, this, [this] {
    masks_[size_t(camera_)] = editor_->Mask();
    accept();
  });
  connect(quit_, &QAbstractButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save_);
  buttons->addWidget(quit_);
  auto* column = new QVBoxLayout(this);
  column->addWidget(tabs_);
  column->addWidget(editor_);
  column->addLayout(buttons);
  editor_->SetPicture(pictures_[0]);
  editor_->SetMask(masks_[0]);
}

void CSetMotDlg::ShowCamera(int camera) {
  if (camera < 0 || camera > 1) return;
  masks_[size_t(camera_)] = editor_->Mask();
  camera_ = camera;
  editor_->SetPicture(pictures_[size_t(camera)]);
  editor_->SetMask(masks_[size_t(camera)]);
}

}  // namespace tq
