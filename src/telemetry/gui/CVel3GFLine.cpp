#include "telemetry/gui/CVel3GFLine.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>

#include "app/gui/GuiMessages.h"
#include "app/gui/PlayRequests.h"
#include "controls/GuiSkin.h"
#include "playback/PlayMessages.h"

namespace tq {
namespace {

const QColor kAxisColour[3] = {QColor(0, 124, 230), QColor(226, 128, 39), QColor(207, 3, 206)};
const QColor kBeyond{180, 180, 182};
const QColor kCurrentFrame{52, 50, 50};
const QColor kClickedFrame{237, 101, 34};
const QColor kMarker{220, 30, 30};
constexpr int kLineStartRow = 41;  // every axis line starts here, whatever the height
constexpr int kMarkerHalf = 4;     // x s

// The two grid pictures: the empty grid (274 x 101, a "0" at the left edge) and the grid
// under recorded slots (250 x 101, light blue).
QImage MakeGrid(bool recorded) {
  QImage grid(recorded ? 250 : 274, 101, QImage::Format_RGB32);
  grid.fill(recorded ? QColor(232, 243, 252) : QColor(236, 236, 236));
  QPainter p(&grid);
  p.setPen(recorded ? QColor(170, 205, 235) : QColor(196, 196, 196));
  for (int y = 0; y <= 100; y += 25) p.drawLine(0, y, grid.width() - 1, y);
  for (int x = recorded ? 0 : 10; x < grid.width(); x += 25) p.drawLine(x, 0, x, 100);
  if (!recorded) {
    p.setPen(QColor(120, 120, 120));
    QFont f = p.font();
    f.setPixelSize(9);
    p.setFont(f);
    p.drawText(QRect(0, 44, 10, 12), Qt::AlignCenter, "0");
  }
  return grid;
}

const QImage& Grid(bool recorded) {
  static const QImage empty = MakeGrid(false), full = MakeGrid(true);
  return recorded ? full : empty;
}

}  // namespace

CVel3GFLine::CVel3GFLine(QObject* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setObjectName("CVel3GFLine");
  graph_.Create();
  Render();
}

void CVel3GFLine::Set3GF(const uint8_t* block, int64_t length, int32_t durationSeconds, uint8_t secondsPerSlot) {
  graph_.Set3GF(block, length, durationSeconds, secondsPerSlot);
  FindEvents();
  Render();
  update();
}

void CVel3GFLine::Clear() {
  graph_.Clear();
  events_.clear();
  Render();
  update();
}

void CVel3GFLine::SetEventThreshold(int threshold) {
  threshold_ = threshold;
  FindEvents();
  Render();
  update();
}

void CVel3GFLine::FindEvents() { events_ = FindGSensorEvents(graph_, threshold_); }

void CVel3GFLine::SetPos(int64_t ms) {
  const auto span = graph_.SetPos(ms);
  if (!span) return;
  const int step = graph_.step();
  update(QRect(step * span->first, 0, step * (span->last - span->first + 1), height()));
}

void CVel3GFLine::Render() {
  const int width = graph_.drawWidth(), height = std::max(this->height(), 1);
  picture_ = QImage(width, height, QImage::Format_RGB32);
  QPainter p(&picture_);
  p.setRenderHint(QPainter::SmoothPixmapTransform);  // the halftone stretch
  const int count = graph_.slotCount(), step = graph_.step();
  const int x0 = std::min(step * count, width);
  if (x0 < width) p.drawImage(QRect(x0, 0, width - x0, height), Grid(false), QRect(10, 0, 250, 101));
  if (x0 > 0) p.drawImage(QRect(0, 0, x0, height), Grid(true), QRect(0, 0, 250, 101));
  if (count <= 0) return;
  for (int a = 0; a < 3; ++a) {
    p.setPen(QPen(kAxisColour[a], 1));
    QPoint from(0, kLineStartRow);
    for (int i = 0; i < count; ++i) {
      const QPoint to(step * (i + 1), graph_.row(a, i));
      p.drawLine(from, to);
      from = to;
    }
  }
  // Event markers: a small triangle pointing down at the top of the slot.
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(kMarker);
  for (size_t i = 0; i < events_.size(); ++i) {
    const QRect r = MarkerRect(i);
    p.drawPolygon(QPolygon({r.topLeft(), r.topRight(), QPoint(r.center().x(), r.bottom())}));
  }
}

QRect CVel3GFLine::MarkerRect(size_t i) const {
  if (i >= events_.size()) return {};
  const int s = GuiScale(), step = graph_.step();
  const int centre = step * events_[i].slot + step / 2;
  return QRect(centre - kMarkerHalf * s, 0, 2 * kMarkerHalf * s + 1, kMarkerHalf * s + 2);
}

int CVel3GFLine::MarkerAt(const QPoint& pos) const {
  for (size_t i = 0; i < events_.size(); ++i)
    if (MarkerRect(i).adjusted(-2, 0, 2, 4).contains(pos)) return int(i);
  return -1;
}

void CVel3GFLine::paintEvent(QPaintEvent*) {
  if (width() <= 0) return;
  QPainter p(this);
  p.drawImage(0, 0, picture_);
  if (width() > picture_.width()) p.fillRect(picture_.width(), 0, width() - picture_.width(), height(), kBeyond);
  const int step = graph_.step();
  auto frame = [&](int slot, const QColor& colour) {
    p.setPen(colour);
    p.setBrush(Qt::NoBrush);
    const QRect r(step * slot, 0, step, height());
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.drawRect(r.adjusted(1, 1, -2, -2));
  };
  if (graph_.currentSlot() >= 0) frame(graph_.currentSlot(), kCurrentFrame);
  if (graph_.highlighted()) frame(graph_.highlightSlot(), kClickedFrame);
}

void CVel3GFLine::resizeEvent(QResizeEvent*) {
  const bool rows = graph_.SetHeight(height());
  if (graph_.Resize(width(), height()) || rows || picture_.height() != height()) {
    Render();
    update();
  }
}

void CVel3GFLine::PostSeek(int32_t seconds) {
  SharedPlayRequests().navigationBusy = true;
  PostMsg(owner_, int(kMsgSeekRequest), 3, seconds);
}

void CVel3GFLine::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const int old = graph_.highlightSlot();
  const auto seconds = graph_.Click(int(event->position().x()), SharedPlayRequests().navigationBusy);
  if (!seconds) return QWidget::mousePressEvent(event);
  const int step = graph_.step();
  if (old >= 0) update(QRect(step * old, 0, step, height()));
  update(QRect(step * graph_.highlightSlot(), 0, step, height()));
  PostSeek(*seconds);
  QWidget::mousePressEvent(event);
}

void CVel3GFLine::mouseDoubleClickEvent(QMouseEvent* event) {
  const int marker = event->button() == Qt::LeftButton ? MarkerAt(event->position().toPoint()) : -1;
  if (marker < 0 || SharedPlayRequests().navigationBusy) return QWidget::mouseDoubleClickEvent(event);
  PostSeek(EventSeekSeconds(events_[size_t(marker)]));
}

}  // namespace tq
