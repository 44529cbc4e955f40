#include "player/gui/PlayerArt.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

#include "player/PlayerLayout.h"

namespace tq {
namespace {

const QColor kLogoBody{0xE8, 0xE4, 0xE6};

QPixmap Cell(QSize size, int s, const std::function<void(QPainter&)>& draw) {
  QPixmap pixmap(size * s);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(s, s);
  draw(p);
  return pixmap;
}

void Triangle(QPainter& p, double x0, double x1, bool right) {
  const double tip = right ? x1 : x0, base = right ? x0 : x1;
  p.drawPolygon(QPolygonF({QPointF(base, 6), QPointF(tip, 11.5), QPointF(base, 17)}));
}

void DrawGlyph(QPainter& p, int glyph, const QColor& c) {
  p.setPen(QPen(c, 1.6));
  p.setBrush(c);
  switch (glyph) {
    case kPlayerPlay: Triangle(p, 8, 17, true); break;
    case kPlayerPause:
      p.drawRect(QRectF(7, 6, 3, 11));
      p.drawRect(QRectF(13, 6, 3, 11));
      break;
    case kPlayerStop: p.drawRect(QRectF(7, 7, 9, 9)); break;
    case kPlayerPrev:
      p.drawRect(QRectF(6, 6, 2, 11));
      Triangle(p, 9, 17, false);
      break;
    case kPlayerNext:
      p.drawRect(QRectF(15, 6, 2, 11));
      Triangle(p, 6, 14, true);
      break;
    case kPlayerCapture:
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(QRectF(4.5, 7.5, 14, 10), 2, 2);
      p.drawRect(QRectF(8.5, 5.5, 5, 2));
      p.drawEllipse(QPointF(11.5, 12.5), 3, 3);
      break;
    case kPlayerPrint:
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(7.5, 4.5, 8, 5));
      p.drawRoundedRect(QRectF(4.5, 9.5, 14, 6), 1.5, 1.5);
      p.drawRect(QRectF(7.5, 13.5, 8, 5));
      break;
    case kPlayerPip:
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(4.5, 5.5, 14, 12));
      p.setBrush(c);
      p.drawRect(QRectF(12, 12, 5, 4));
      break;
    case kPlayerSwap:
    case kPlayerFit:
      p.setBrush(Qt::NoBrush);
      p.drawLine(QPointF(5, 9), QPointF(17, 9));
      p.drawLine(QPointF(6, 14), QPointF(18, 14));
      p.setBrush(c);
      p.drawPolygon(QPolygonF({QPointF(17, 6), QPointF(20, 9), QPointF(17, 12)}));
      p.drawPolygon(QPolygonF({QPointF(6, 11), QPointF(3, 14), QPointF(6, 17)}));
      if (glyph == kPlayerFit) p.drawEllipse(QPointF(11.5, 11.5), 1.5, 1.5);
      break;
    case kPlayerFull:
    case kPlayerRestore: {
      p.setBrush(Qt::NoBrush);
      const bool out = glyph == kPlayerFull;
      const double a = out ? 4.5 : 8.5, b = out ? 8.5 : 4.5;
      p.drawPolyline(QPolygonF({QPointF(4.5, a), QPointF(b, a), QPointF(b, out ? 4.5 : 8.5)}));
      p.drawPolyline(QPolygonF({QPointF(18.5, a), QPointF(23 - b, a), QPointF(23 - b, out ? 4.5 : 8.5)}));
      p.drawPolyline(QPolygonF({QPointF(4.5, 23 - a), QPointF(b, 23 - a), QPointF(b, out ? 18.5 : 14.5)}));
      p.drawPolyline(QPolygonF({QPointF(18.5, 23 - a), QPointF(23 - b, 23 - a), QPointF(23 - b, out ? 18.5 : 14.5)}));
      break;
    }
    case kPlayerFlip:
      p.drawLine(QPointF(4, 11.5), QPointF(19, 11.5));
      p.drawPolygon(QPolygonF({QPointF(8, 9), QPointF(11.5, 4), QPointF(15, 9)}));
      p.setBrush(Qt::NoBrush);
      p.drawPolygon(QPolygonF({QPointF(8, 14), QPointF(11.5, 19), QPointF(15, 14)}));
      break;
    case kPlayerMirror:
      p.drawLine(QPointF(11.5, 4), QPointF(11.5, 19));
      p.drawPolygon(QPolygonF({QPointF(9, 8), QPointF(4, 11.5), QPointF(9, 15)}));
      p.setBrush(Qt::NoBrush);
      p.drawPolygon(QPolygonF({QPointF(14, 8), QPointF(19, 11.5), QPointF(14, 15)}));
      break;
    case kPlayerStretch:
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(6.5, 7.5, 10, 8));
      p.drawLine(QPointF(2, 11.5), QPointF(5, 11.5));
      p.drawLine(QPointF(18, 11.5), QPointF(21, 11.5));
      break;
  }
}

struct Art {
  int scale = 0;
  ImageList buttons;
  QPixmap logo;
};

Art& TheArt() {
  static Art art;
  const int s = GuiScale();
  if (art.scale != s) {
    art.scale = s;
    art.buttons = ImageList{QSize(kButtonSide, kButtonSide), {}};
    const QColor states[3] = {kDisabledText, QColor(0xE6, 0xDE, 0xE0), Qt::white};
    for (int g = 0; g < kPlayerGlyphCount; ++g) {
      for (int state = 0; state < 3; ++state) {
        art.buttons.images.push_back(Cell(art.buttons.cell, s, [&](QPainter& p) {
          if (state == 2) {
            p.setPen(Qt::NoPen);
            p.setBrush(kThemeTitle);
            p.drawRoundedRect(QRectF(0.5, 0.5, 22, 22), 4, 4);
          }
          DrawGlyph(p, g, states[state]);
        }));
      }
    }
    art.logo = Cell(QSize(kLogoWidth, kLogoHeight), s, [](QPainter& p) {
      DrawLogo(p, QRectF(20, 42, 150, 150), kLogoBody, kThemeTitle);
      QFont f = GuiFont(UiFontKind::Bold);
      f.setPixelSize(44);
      p.setFont(f);
      p.setPen(kLogoBody);
      p.drawText(QRectF(180, 60, 250, 60), Qt::AlignLeft | Qt::AlignVCenter, "TQ-MB20");
      f.setPixelSize(26);
      p.setFont(f);
      p.setPen(kDisabledText);
      p.drawText(QRectF(182, 120, 250, 40), Qt::AlignLeft | Qt::AlignVCenter, "Viewer");
    });
  }
  return art;
}

}  // namespace

const ImageList& PlayerButtonList() { return TheArt().buttons; }
const QPixmap& PlayerLogo() { return TheArt().logo; }
QColor PlayerLogoBody() { return kLogoBody; }

}  // namespace tq
