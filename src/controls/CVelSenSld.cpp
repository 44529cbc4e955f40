#include "controls/CVelSenSld.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "controls/GuiSkin.h"

namespace tq {
namespace {
constexpr int kWidth = 274;        // background bitmap, unscaled
constexpr int kHeight = 101;
constexpr int kMidLine = 50;       // x s
constexpr int kPlotLeft = 12;      // x s
constexpr int kPointStep = 2;      // x s
constexpr int kStripLeft = 260;    // the level strip, x s
constexpr int kStripRight = 274;
constexpr int kPlotPoints = (kStripLeft - kPlotLeft) / kPointStep;

int LevelValue(int threshold) { return (150 - threshold) * 100 / 300; }
}  // namespace

SensorLevel SensorLevelFor(int row, int v) {
  const auto& table = kSensorLevelTable[size_t(std::clamp(row, 0, 2))];
  for (int step = 0; step < 10; ++step) {
    if (LevelValue(table[size_t(step)]) >= v) return {step, LevelValue(table[size_t(step)])};
  }
  return {10, LevelValue(table[10])};
}

CVelSenSld::CVelSenSld(int sensorIndex, QWidget* parent) : QWidget(parent), sensor_(sensorIndex) {
  resize(sizeHint());
}

QSize CVelSenSld::sizeHint() const { return QSize(kWidth, kHeight) * GuiScale(); }

void CVelSenSld::AddSample(int sample) {
  window_.push_back(sample);
  if (window_.size() > kWindow) window_.pop_front();
  plotted_.push_back(PlottedValue());
  if (plotted_.size() > size_t(kPlotPoints)) plotted_.pop_front();
  update();
}

void CVelSenSld::SetLevelStep(int step) {
  step = std::clamp(step, 0, kSensorLevelSteps - 1);
  level_ = {step, LevelValue(kSensorLevelTable[size_t(std::clamp(sensor_, 0, 2))][size_t(step)])};
  update();
}

void CVelSenSld::ClearSamples() {
  window_.clear();
  plotted_.clear();
  update();
}

int CVelSenSld::PlottedValue() const {
  if (window_.empty()) return 0;
  long sum = std::accumulate(window_.begin(), window_.end(), 0L);
  long mean = sum / long(window_.size());
  return int(std::clamp<long>(window_.back() - mean, -kPlotLimit, kPlotLimit));
}

void CVelSenSld::mousePressEvent(QMouseEvent* event) {
  const int s = GuiScale();
  QPoint pos = event->position().toPoint();
  if (!isEnabled() || pos.x() < kStripLeft * s || pos.x() > kStripRight * s) return event->ignore();
  int v = std::abs(pos.y() - kMidLine * s) / s;
  level_ = useTable_ ? SensorLevelFor(sensor_, v) : SensorLevel{level_.step, v};
  update();
  emit levelSet(sensor_, level_.step);
}

void CVelSenSld::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int s = GuiScale();
  const double sx = double(width()) / (kWidth * s), sy = double(height()) / (kHeight * s);
  p.scale(sx, sy);  // the background is stretched to the control
  p.fillRect(QRect(0, 0, kWidth * s, kHeight * s), QColor(18, 16, 18));
  p.setPen(QColor(50, 44, 48));
  for (int y = 10; y < kHeight; y += 20) p.drawLine(0, y * s, kStripLeft * s, y * s);
  p.setPen(kDisabledText);
  p.drawLine(0, kMidLine * s, kStripLeft * s, kMidLine * s);
  p.fillRect(QRect(kStripLeft * s, 0, (kStripRight - kStripLeft) * s, kHeight * s), kThemeBand);
  // The level lines, above and below the mid-line.
  p.setPen(QPen(kCaptionRed, s));
  for (int sign : {-1, 1}) p.drawLine(0, (kMidLine + sign * level_.value) * s, kStripRight * s, (kMidLine + sign * level_.value) * s);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(90, 200, 120), s));
  QPointF last;
  for (size_t i = 0; i < plotted_.size(); ++i) {
    QPointF pt((kPlotLeft + int(i) * kPointStep) * s, kMidLine * s - plotted_[i] * kMidLine * s / double(kPlotLimit));
    if (i > 0) p.drawLine(last, pt);
    last = pt;
  }
}

}  // namespace tq
