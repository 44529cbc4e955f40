#include "library/gui/CFileListDlg.h"

#include <QListWidget>
#include <QPainter>

#include "controls/GuiSkin.h"

namespace tq {
namespace {
constexpr int kBand = 24;  // x s, the "Total" band above the list
}

CFileListDlg::CFileListDlg(QWidget* parent) : QWidget(parent), list_(new QListWidget(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  list_->setFrameShape(QFrame::NoFrame);
  list_->setFont(GuiFont(UiFontKind::Normal));
  const int sc = GuiScale();
  list_->setStyleSheet(QString(
      "QListWidget { background: #181417; color: #D8D0D2; outline: 0; }"
      "QListWidget::item { padding: %1px %2px; border-bottom: 1px solid #2A1F24; }"
      "QListWidget::item:selected { background: #5E0B1D; color: #F2F2F2; }"
      "QScrollBar:vertical { background: #1E171B; width: %3px; margin: 0; }"
      "QScrollBar::handle:vertical { background: #5E0B1D; min-height: %4px; border-radius: %5px; margin: 1px; }"
      "QScrollBar::handle:vertical:hover { background: #96172E; }"
      "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
      "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
                           .arg(3 * sc).arg(6 * sc).arg(10 * sc).arg(24 * sc).arg(4 * sc));
}

void CFileListDlg::Reload(const std::string& folder) {
  folder_ = folder;
  ++reloads_;
  catalog_.Scan(folder);
  list_->clear();
  for (const CatalogEntry& entry : catalog_.Entries()) list_->addItem(QString::fromStdString(entry.name));
  update();
}

QStringList CFileListDlg::Names() const {
  QStringList names;
  for (int i = 0; i < list_->count(); ++i) names << list_->item(i)->text();
  return names;
}

void CFileListDlg::resizeEvent(QResizeEvent*) {
  int band = kBand * GuiScale();
  list_->setGeometry(0, band, width(), height() - band);
}

void CFileListDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  int band = kBand * GuiScale();
  p.fillRect(QRect(0, 0, width(), band), kThemeBand);
  p.setFont(GuiFont(UiFontKind::Bold));
  p.setPen(kLightText);
  p.drawText(QRect(8, 0, width() - 16, band), Qt::AlignLeft | Qt::AlignVCenter,
             QString("Total ( %1 )").arg(catalog_.Count()));
}

}  // namespace tq
