#include "app/gui/CAboutDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "app/CameraIdentity.h"
#include "app/LocalizedText.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"

namespace tq {
namespace {
constexpr char kProgramName[] = "TQ-MB20_Viewer";
constexpr char kMakerSite[] = "https://www.norvanta.example.com";
constexpr char kMakerSiteKorea[] = "https://www.norvanta.example.co.kr";

QLabel* MakeLabel(const QString& text, UiFontKind font, QWidget* parent) {
  auto* label = new QLabel(text, parent);  // owned by the dialog
  label->setFont(GuiFont(font));
  label->setStyleSheet("color: #F2F2F2;");
  return label;
}
}  // namespace

std::string CardIdentityLine(const CameraIdentity& id) {
  std::string line = id.model + "-" + id.firmware;
  if (!id.language.empty()) line += std::string("-") + id.language.front();
  if (!id.option.empty()) line += "-" + id.option;
  return line;
}

CAboutDlg::CAboutDlg(const std::string& version, const std::string& cardRoot, const std::string& language,
                     QWidget* parent)
    : QDialog(parent, Qt::Dialog) {
  const int s = GuiScale();
  setWindowTitle(QString::fromStdString(LocalizedText(kTextTooltip, "about_sd_title")));
  versionLine_ = QString::asprintf("%s x86", version.c_str());
  CameraIdentity id;
  if (!cardRoot.empty() && ReadIdentity(cardRoot, kIdAll, &id))
    cardLine_ = QString::fromStdString(CardIdentityLine(id));

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(16 * s);
  grid->addWidget(MakeLabel(kProgramName, UiFontKind::Bold, this), 0, 0, 1, 2);
  grid->addWidget(MakeLabel("Version", UiFontKind::Normal, this), 1, 0);
  grid->addWidget(MakeLabel(versionLine_, UiFontKind::Normal, this), 1, 1);
  if (!cardLine_.isEmpty()) {
    grid->addWidget(MakeLabel("Firmware", UiFontKind::Normal, this), 2, 0);
    grid->addWidget(MakeLabel(cardLine_, UiFontKind::Normal, this), 2, 1);
  }
  QString site = language == "korea" ? kMakerSiteKorea : kMakerSite;
  auto* link = MakeLabel(QString("<a style=\"color:#E8A0AC\" href=\"%1\">%1</a>").arg(site), UiFontKind::Normal, this);
  link->setOpenExternalLinks(true);
  grid->addWidget(link, 3, 0, 1, 2);

  auto* ok = new CVelTextBut(this);
  ok->SetText(QString::fromStdString(LocalizedText(kTextLable, "str_yes")));
  ok->setFixedSize(ok->sizeHint());
  connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(20 * s, 18 * s, 20 * s, 14 * s);
  column->addLayout(grid);
  column->addSpacing(10 * s);
  column->addWidget(ok, 0, Qt::AlignRight);
  setMinimumWidth(320 * s);
}

void CAboutDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kThemeBand);
  p.fillRect(QRect(0, 0, width(), 4 * GuiScale()), kThemeTitle);
}

}  // namespace tq
