#include "controls/GuiSkin.h"

#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace tq {
namespace {

struct Skin {
  int scale = 1;
  UiFontSet fonts;
  ImageList imageButtons, checkButtons, toolbarIcons, buttonSkin, waitAnimation, dispButtons;
  QPixmap toolbarBackground, logo;
};

Skin& TheSkin() {
  static Skin skin;
  return skin;
}

// Draws one cell of `cell` x scale with a painter already scaled to unscaled units.
template <typename Draw>
QPixmap DrawCell(QSize cell, int scale, Draw draw) {
  QPixmap pixmap(cell * scale);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  draw(p);
  return pixmap;
}

void DrawGlyph(QPainter& p, int glyph, const QColor& c) {
  QPen pen(c, 1.6);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  switch (glyph) {
    case kGlyphMinimize: p.drawLine(QPointF(5, 12.5), QPointF(13, 12.5)); break;
    case kGlyphMaximize: p.drawRect(QRectF(4.5, 4.5, 9, 9)); break;
    case kGlyphRestore:
      p.drawRect(QRectF(4.5, 7.5, 7, 7));
      p.drawPolyline(QPolygonF({QPointF(7.5, 5.5), QPointF(7.5, 3.5), QPointF(14.5, 3.5), QPointF(14.5, 10.5),
                                QPointF(12.5, 10.5)}));
      break;
    case kGlyphClose:
      p.drawLine(QPointF(5, 5), QPointF(13, 13));
      p.drawLine(QPointF(13, 5), QPointF(5, 13));
      break;
    case kGlyphPlay:
      p.setBrush(c);
      p.drawPolygon(QPolygonF({QPointF(6, 4), QPointF(14, 9), QPointF(6, 14)}));
      break;
    case kGlyphCloud: {
      QPainterPath path;
      path.addEllipse(QRectF(3, 7, 7, 6));
      path.addEllipse(QRectF(7, 4, 8, 8));
      path.addRect(QRectF(6, 9, 7, 4));
      p.setBrush(c);
      p.drawPath(path.simplified());
      break;
    }
  }
}

ImageList MakeImageButtons(int s) {
  ImageList list{QSize(18, 18), {}};
  for (int g = 0; g < kGlyphCount; ++g) {
    for (int state = 0; state < 3; ++state) {
      list.images.push_back(DrawCell(list.cell, s, [&](QPainter& p) {
        if (state == 2) {
          p.setPen(Qt::NoPen);
          p.setBrush(QColor(255, 255, 255, 46));
          p.drawRoundedRect(QRectF(0.5, 0.5, 17, 17), 3, 3);
        }
        DrawGlyph(p, g, state == 0 ? kDisabledText : state == 1 ? QColor(0xD8, 0xD0, 0xD2) : Qt::white);
      }));
    }
  }
  return list;
}

ImageList MakeCheckButtons(int s) {
  ImageList list{QSize(23, 23), {}};
  for (int checked = 0; checked < 2; ++checked) {
    list.images.push_back(DrawCell(list.cell, s, [&](QPainter& p) {
      p.setPen(QPen(kDisabledText, 1.2));
      p.setBrush(kThemeBand);
      p.drawRoundedRect(QRectF(3.5, 3.5, 16, 16), 3, 3);
      if (checked) {
        p.setPen(QPen(kLightText, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(7, 11.5), QPointF(10.5, 15), QPointF(16, 8)}));
      }
    }));
  }
  return list;
}

void DrawToolIcon(QPainter& p, int icon, const QColor& c) {
  p.setPen(QPen(c, 1.6));
  p.setBrush(Qt::NoBrush);
  if (icon == kToolSetup) {  // a gear
    QPointF centre(17, 14.5);
    for (int i = 0; i < 8; ++i) {
      double a = i * M_PI / 4;
      p.drawLine(centre + QPointF(std::cos(a) * 6, std::sin(a) * 6), centre + QPointF(std::cos(a) * 9, std::sin(a) * 9));
    }
    p.drawEllipse(centre, 6, 6);
    p.drawEllipse(centre, 2.5, 2.5);
  } else if (icon == kToolFormat) {  // a card being wiped
    p.drawPolygon(QPolygonF({QPointF(10, 4), QPointF(21, 4), QPointF(25, 8), QPointF(25, 25), QPointF(10, 25)}));
    p.drawLine(QPointF(13, 14), QPointF(22, 14));
    p.drawLine(QPointF(13, 18), QPointF(22, 18));
    p.drawLine(QPointF(13, 22), QPointF(19, 22));
  } else {  // a memory card with contacts
    p.drawPolygon(QPolygonF({QPointF(10, 4), QPointF(21, 4), QPointF(25, 8), QPointF(25, 25), QPointF(10, 25)}));
    for (int i = 0; i < 4; ++i) p.drawLine(QPointF(13 + i * 3, 7), QPointF(13 + i * 3, 11));
  }
}

ImageList MakeToolbarIcons(int s) {
  ImageList list{QSize(34, 29), {}};
  for (int icon = 0; icon < kToolIconCount; ++icon) {
    for (int state = 0; state < 3; ++state) {
      list.images.push_back(DrawCell(list.cell, s, [&](QPainter& p) {
        DrawToolIcon(p, icon, state == 0 ? kDisabledText : state == 1 ? QColor(0xE6, 0xDE, 0xE0) : Qt::white);
      }));
    }
  }
  return list;
}

// Four states, three slices each: left end, middle, right end; 7 wide ends, 22 high.
ImageList MakeButtonSkin(int s) {
  ImageList list{QSize(7, 22), {}};
  const QColor faces[4] = {QColor(48, 36, 40), kThemeBand, kThemeButtonState, kThemeTitle};
  for (int state = 0; state < 4; ++state) {
    for (int slice = 0; slice < 3; ++slice) {
      list.images.push_back(DrawCell(list.cell, s, [&](QPainter& p) {
        QRectF body(slice == 0 ? 0.5 : -4, 0.5, slice == 1 ? 15 : 10.5, 21);
        if (slice == 2) body.moveLeft(-4);
        QLinearGradient g(0, 0, 0, 22);
        g.setColorAt(0, faces[state].lighter(125));
        g.setColorAt(1, faces[state]);
        p.setPen(QPen(state == 0 ? QColor(70, 60, 64) : QColor(120, 40, 52), 1));
        p.setBrush(g);
        p.drawRoundedRect(body, 3, 3);
      }));
    }
  }
  return list;
}

ImageList MakeWaitAnimation(int s) {
  ImageList list{QSize(100, 100), {}};
  constexpr int kFrames = 12;
  for (int f = 0; f < kFrames; ++f) {
    list.images.push_back(DrawCell(list.cell, s, [&](QPainter& p) {
      p.setPen(Qt::NoPen);
      for (int i = 0; i < kFrames; ++i) {
        double a = 2 * M_PI * i / kFrames - M_PI / 2;
        int age = (f - i + kFrames) % kFrames;  // 0: the dot at the head of the sweep
        QColor c = age == 0 ? kLightText : kThemeTitle;
        c.setAlpha(std::max(60, 255 - age * 22));
        p.setBrush(c);
        p.drawEllipse(QPointF(50 + std::cos(a) * 30, 50 + std::sin(a) * 30), 6.5, 6.5);
      }
    }));
  }
  return list;
}

ImageList MakeDispButtons(int s) {
  ImageList list{QSize(88, 30), {}};
  for (int on = 0; on < 2; ++on) {
    list.images.push_back(DrawCell(list.cell, s, [&](QPainter& p) {
      p.setPen(QPen(kLightText, 1.2));
      p.setBrush(on ? kThemeTitle : QColor(20, 20, 20));
      p.drawRoundedRect(QRectF(0.5, 0.5, 87, 29), 6, 6);
      p.setBrush(kLightText);
      p.drawEllipse(QRectF(on ? 60 : 8, 7, 16, 16));
    }));
  }
  return list;
}

QPixmap MakeToolbarBackground(int s) {
  QPixmap pixmap(QSize(64, 35) * s);
  QPainter p(&pixmap);
  QLinearGradient g(0, 0, 0, pixmap.height());
  g.setColorAt(0, QColor(46, 14, 22));
  g.setColorAt(0.5, QColor(32, 10, 16));
  g.setColorAt(1, QColor(22, 8, 12));
  p.fillRect(pixmap.rect(), g);
  p.setPen(QColor(90, 24, 38));
  p.drawLine(0, pixmap.height() - 1, pixmap.width(), pixmap.height() - 1);
  return pixmap;
}

QPixmap MakeLogo(int s) {
  return DrawCell(QSize(30, 30), s, [](QPainter& p) {
    DrawLogo(p, QRectF(0, 0, 30, 30), QColor(255, 255, 255, 230), kThemeTitle);
  });
}

}  // namespace

void DrawLogo(QPainter& p, const QRectF& area, const QColor& body, const QColor& lens) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(area.topLeft());
  p.scale(area.width() / 30.0, area.height() / 30.0);
  p.setPen(Qt::NoPen);
  p.setBrush(body);
  p.drawRoundedRect(QRectF(3, 8, 18, 14), 3, 3);
  p.drawPolygon(QPolygonF({QPointF(21, 12), QPointF(28, 8), QPointF(28, 22), QPointF(21, 18)}));
  p.setBrush(lens);
  p.drawEllipse(QRectF(8, 11, 8, 8));
  p.restore();
}

const QPixmap* ImageList::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &images[size_t(index)];
}

void InitGuiSkin(int uiScale, const UiFontSet& fonts) {
  Skin& skin = TheSkin();
  skin.scale = uiScale < 1 ? 1 : uiScale;
  skin.fonts = fonts;
  int s = skin.scale;
  skin.imageButtons = MakeImageButtons(s);
  skin.checkButtons = MakeCheckButtons(s);
  skin.toolbarIcons = MakeToolbarIcons(s);
  skin.buttonSkin = MakeButtonSkin(s);
  skin.waitAnimation = MakeWaitAnimation(s);
  skin.dispButtons = MakeDispButtons(s);
  skin.toolbarBackground = MakeToolbarBackground(s);
  skin.logo = MakeLogo(s);
}

int GuiScale() { return TheSkin().scale; }

QFont QFontFrom(const UiFont& font) {
  QFont f;
  QStringList families{QString::fromStdString(font.face)};
  if (!font.fallbackFace.empty()) families << QString::fromStdString(font.fallbackFace);
  families << "Noto Sans CJK JP" << "DejaVu Sans";
  f.setFamilies(families);
  if (font.height != 0) f.setPixelSize(std::abs(font.height));
  f.setWeight(font.weight >= 700 ? QFont::Bold : QFont::Normal);
  return f;
}

QFont GuiFont(UiFontKind kind) {
  const UiFontSet& fonts = TheSkin().fonts;
  switch (kind) {
    case UiFontKind::Bold: return QFontFrom(fonts.bold);
    case UiFontKind::Normal: return QFontFrom(fonts.normal);
    case UiFontKind::Normal2: return QFontFrom(fonts.normal2);
  }
  return QFont();
}

const ImageList& ImageButtonList() { return TheSkin().imageButtons; }
const ImageList& CheckButtonList() { return TheSkin().checkButtons; }
const ImageList& ToolbarIconList() { return TheSkin().toolbarIcons; }
const ImageList& ButtonSkinList() { return TheSkin().buttonSkin; }
const ImageList& WaitAnimationList() { return TheSkin().waitAnimation; }
const ImageList& DispButtonList() { return TheSkin().dispButtons; }
const QPixmap& ToolbarBackground() { return TheSkin().toolbarBackground; }
const QPixmap& LogoPixmap() { return TheSkin().logo; }

}  // namespace tq
