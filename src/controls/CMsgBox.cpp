#include "controls/CMsgBox.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include "app/LocalizedText.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"

namespace tq {
namespace {
constexpr int kMargin = 16;     // x s
constexpr int kIconSide = 32;   // x s
constexpr int kButtonGap = 10;  // x s

QStyle::StandardPixmap IconFor(unsigned type) {
  switch (type & 0xF0) {
    case kMsgHand: return QStyle::SP_MessageBoxCritical;
    case kMsgQuestion: return QStyle::SP_MessageBoxQuestion;
    case kMsgExclamation: return QStyle::SP_MessageBoxWarning;
    default: return QStyle::SP_MessageBoxInformation;
  }
}

QString Lable(const char* key) { return QString::fromStdString(LocalizedText(kTextLable, key)); }
}  // namespace

CMsgBox::CMsgBox(const QString& text, unsigned type, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), text_(text), type_(type) {
  const int s = GuiScale();
  icon_ = QApplication::style()->standardIcon(IconFor(type)).pixmap(kIconSide * s, kIconSide * s);
  if ((type & 0xF0) == kMsgQuestion) {
    auto* yes = new CVelTextBut(this);  // owned by the dialog
    yes->SetText(Lable("string_yes"));
    connect(yes, &QAbstractButton::clicked, this, &QDialog::accept);
    auto* no = new CVelTextBut(this);
    no->SetText(Lable("string_no"));
    connect(no, &QAbstractButton::clicked, this, &QDialog::reject);
    buttons_ = {yes, no};
  } else {
    auto* ok = new CVelTextBut(this);
    ok->SetText(Lable("str_yes"));
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    buttons_ = {ok};
  }
  // The text decides the height.
  QRect textRect = TextRect();
  int buttonTop = std::max(textRect.bottom(), (kMargin + kIconSide) * s) + kMargin * s;
  int total = 0;
  for (CVelTextBut* b : buttons_) total += b->width();
  total += kButtonGap * s * int(buttons_.size() - 1);
  int x = (kWidth * s - total) / 2;
  for (CVelTextBut* b : buttons_) {
    b->move(x, buttonTop);
    x += b->width() + kButtonGap * s;
  }
  setFixedSize(kWidth * s, buttonTop + buttons_.front()->height() + kMargin * s);
}

QRect CMsgBox::TextRect() const {
  const int s = GuiScale();
  int left = (2 * kMargin + kIconSide) * s;
  QFontMetrics fm(GuiFont(UiFontKind::Normal));
  QRect bound = fm.boundingRect(QRect(left, kMargin * s, kWidth * s - left - kMargin * s, 4000),
                                Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text_);
  return bound;
}

void CMsgBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int s = GuiScale();
  p.fillRect(rect(), kThemeBand);
  p.setPen(kThemeTitle);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.drawPixmap(kMargin * s, kMargin * s, icon_);
  p.setFont(GuiFont(UiFontKind::Normal));
  p.setPen(kLightText);
  p.drawText(TextRect().adjusted(0, 0, 0, 2), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text_);
}

int ShowMsgBox(QWidget* parent, const QString& text, unsigned type) {
  CMsgBox box(text, type, parent);
  return box.exec();
}

}  // namespace tq
