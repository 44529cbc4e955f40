#include "app/gui/CToolBarDlg.h"

#include <QPainter>

#include "app/CameraIdentity.h"
#include "app/LocalizedText.h"
#include "controls/CVelMenu.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"

namespace tq {
namespace {
constexpr int kTitleGap = 16;  // x s, between the buttons and the playing title
}

CToolBarDlg::CToolBarDlg(QWidget* parent)
    : QWidget(parent),
      setup_(new CVelToolBut(this)),
      format_(new CVelToolBut(this)),
      selector_(new CVelToolBut(this)),
      menu_(new CVelMenu(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setup_->SetToolText(QString::fromStdString(LocalizedText(kTextLable, "setup")), kToolSetup * 3);
  format_->SetToolText(QString::fromStdString(LocalizedText(kTextTooltip, "format")), kToolFormat * 3);
  selector_->SetToolText(kNoCardText, kToolCard * 3);
  connect(setup_, &QAbstractButton::clicked, this, &CToolBarDlg::setupClicked);
  connect(format_, &QAbstractButton::clicked, this, &CToolBarDlg::formatClicked);
  connect(selector_, &QAbstractButton::clicked, this, &CToolBarDlg::ShowCardMenu);
  connect(menu_, &CVelMenu::picked, this, [this](int command) { emit cardPicked(command - kCardMenuFirstCommand); });
}

void CToolBarDlg::UpdateCardDisplay(const std::vector<CardDrive>& cards, const std::string& currentCard) {
  cards_ = cards;
  CardSelectorView view = CardSelectorForCard(FindCard(cards, currentCard));
  selector_->SetToolText(QString::fromStdString(view.text), kToolCard * 3);
  selector_->setEnabled(view.selectorEnabled);
  setup_->setEnabled(view.setupEnabled);
  format_->setEnabled(!currentCard.empty());
  LayoutButtons();
  update();
}

void CToolBarDlg::ShowCardMenu() {
  menu_->Clear();
  std::vector<std::string> texts = CardMenuTexts(cards_);
  for (size_t i = 0; i < texts.size(); ++i)
    menu_->AddItem(QString::fromStdString(texts[i]), kCardMenuFirstCommand + int(i));
  if (menu_->Count() == 0) return;
  menu_->Popup(selector_->mapToGlobal(QPoint(0, selector_->height())));
}

void CToolBarDlg::SetPlayingTitle(const QString& title) {
  title_ = title;
  update();
}

void CToolBarDlg::SetDiagnosticCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void CToolBarDlg::SetDiagnosticDisplay(bool on) {
  diagnostic_ = on;
  update();
}

void CToolBarDlg::LayoutButtons() {
  int x = 0;
  for (CVelToolBut* b : {setup_, format_, selector_}) {
    b->resize(b->sizeHint().width(), height());
    b->move(x, 0);
    x += b->width();
  }
}

void CToolBarDlg::resizeEvent(QResizeEvent*) { LayoutButtons(); }

void CToolBarDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(rect(), ToolbarBackground());
  const int s = GuiScale();
  QRect area(selector_->geometry().right() + kTitleGap * s, 0, 0, height());
  area.setRight(width() - kTitleGap * s);
  if (area.width() <= 0) return;
  p.setFont(GuiFont(UiFontKind::Bold));
  if (!title_.isEmpty()) {
    p.setPen(kTitleGrey);
    p.drawText(area, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
               p.fontMetrics().elidedText(title_, Qt::ElideRight, area.width()));
  }
  if (diagnostic_ && !caption_.isEmpty()) {
    p.setPen(kCaptionRed);
    p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption_);
  }
}

}  // namespace tq
