#include "library/gui/FileListImages.h"

#include <QPainter>
#include <QPainterPath>

#include "library/RecordingName.h"

namespace tq {
namespace {

constexpr int kFilterCount = 6;
constexpr int kTypeCells = kCameraPartThird + kClassManual + 2 + 1;  // last code + 2, inclusive
constexpr int kIconOffset = 2;  // a type code's icon is cell code + 2

struct Strips {
  int scale = 0;
  ImageList filters, types, folder;
};

template <typename Draw>
QPixmap Cell(QSize cell, int scale, Draw draw) {
  QPixmap pixmap(cell * scale);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(scale, scale);
  draw(p);
  return pixmap;
}

void DrawLetter(QPainter& p, const QRectF& box, const QString& text, const QColor& colour, int pixelSize) {
  QFont font = GuiFont(UiFontKind::Bold);
  font.setPixelSize(pixelSize);
  p.setFont(font);
  p.setPen(colour);
  p.drawText(box, Qt::AlignCenter, text);
}

// Front and rear: a camera seen from the side, the rear one facing back; the classes: the
// class letter in the class colour.
void DrawFilter(QPainter& p, int which, bool on) {
  const QColor ink = on ? kLightText : kDisabledText;
  p.setPen(QPen(on ? kThemeTitle : QColor(70, 60, 64), 1.2));
  p.setBrush(on ? kThemeButtonState : kThemeBand);
  p.drawRoundedRect(QRectF(1.5, 1.5, 20, 20), 4, 4);
  if (which < 2) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const bool rear = which == 1;
    p.drawRoundedRect(QRectF(rear ? 9 : 5, 8, 9, 8), 1.5, 1.5);
    QPolygonF lens = rear ? QPolygonF({QPointF(9, 12), QPointF(5, 9), QPointF(5, 15)})
                          : QPolygonF({QPointF(14, 12), QPointF(18, 9), QPointF(18, 15)});
    p.drawPolygon(lens);
    return;
  }
  static const char* const kLetters[] = {"N", "E", "P", "M"};
  DrawLetter(p, QRectF(1.5, 1.5, 20, 20), kLetters[which - 2], on ? ClassColor(which - 2).lighter(130) : ink, 13);
}

void DrawTypeIcon(QPainter& p, uint8_t code) {
  const int cls = EntryClass(code);
  const int camera = EntryCamera(code);
  p.setPen(Qt::NoPen);
  p.setBrush(ClassColor(cls));
  p.drawRoundedRect(QRectF(0.5, 0.5, 17, 17), 3.5, 3.5);
  static const char* const kLetters[] = {"N", "E", "P", "M"};
  const QString camLetter = camera == 0 ? "F" : camera == 1 ? "R" : "L";
  DrawLetter(p, QRectF(0.5, 0, 10, 18), kLetters[cls], Qt::white, 11);
  DrawLetter(p, QRectF(9, 4, 8.5, 14), camLetter, QColor(255, 255, 255, 210), 8);
}

void DrawFolder(QPainter& p, int state) {
  const QColor c = state == 0 ? kDisabledText : state == 1 ? QColor(0xD8, 0xD0, 0xD2) : Qt::white;
  if (state == 2) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 46));
    p.drawRoundedRect(QRectF(0.5, 0.5, 17, 17), 3, 3);
  }
  QPainterPath path;
  path.moveTo(2.5, 5);
  path.lineTo(7, 5);
  path.lineTo(8.5, 6.5);
  path.lineTo(15.5, 6.5);
  path.lineTo(15.5, 14);
  path.lineTo(2.5, 14);
  path.closeSubpath();
  p.setPen(QPen(c, 1.4));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  p.drawLine(QPointF(2.5, 8.5), QPointF(15.5, 8.5));
}

Strips& TheStrips() {
  static Strips strips;
  const int s = GuiScale();
  if (strips.scale == s) return strips;
  strips.scale = s;
  strips.filters = {QSize(23, 23), {}};
  for (int f = 0; f < kFilterCount; ++f)
    for (int on = 0; on < 2; ++on)
      strips.filters.images.push_back(Cell(strips.filters.cell, s, [&](QPainter& p) { DrawFilter(p, f, on); }));
  strips.types = {QSize(18, 18), {}};
  for (int cell = 0; cell < kTypeCells; ++cell) {
    const int code = cell - kIconOffset;
    const bool used = (code >= 0 && code < 2 * kCameraPartRear) ||
                      (code >= kCameraPartThird && code <= kCameraPartThird + kClassManual);
    strips.types.images.push_back(
        Cell(strips.types.cell, s, [&](QPainter& p) { if (used) DrawTypeIcon(p, uint8_t(code)); }));
  }
  strips.folder = {QSize(18, 18), {}};
  for (int state = 0; state < 3; ++state)
    strips.folder.images.push_back(Cell(strips.folder.cell, s, [&](QPainter& p) { DrawFolder(p, state); }));
  return strips;
}

}  // namespace

QColor ClassColor(int cls) {
  switch (cls) {
    case kClassEvent: return QColor(206, 52, 40);
    case kClassParking: return QColor(40, 104, 190);
    case kClassManual: return QColor(196, 140, 20);
    default: return QColor(46, 140, 74);
  }
}

const ImageList& FilterIconList() { return TheStrips().filters; }
const ImageList& FileTypeIconList() { return TheStrips().types; }
const ImageList& FolderButtonList() { return TheStrips().folder; }

}  // namespace tq
