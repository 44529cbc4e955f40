// The G-sensor live graph with a draggable sensitivity level.
#pragma once

#include <QWidget>
#include <array>
#include <deque>

namespace tq {

inline constexpr int kSensorLevelSteps = 11;  // step 0 to 10
// Thresholds per sensor row (step 0 to 10).
inline constexpr std::array<std::array<int, kSensorLevelSteps>, 3> kSensorLevelTable{{
    {150, 144, 128, 91, 84, 77, 71, 64, 15, 12, 10},
    {150, 144, 128, 70, 64, 57, 50, 44, 15, 12, 10},
    {150, 144, 128, 71, 65, 58, 51, 44, 15, 12, 10},
}};

struct SensorLevel {
  int step = 0;   // 0 to 10
  int value = 0;  // height above the mid-line in unscaled pixels
};
// The step for a click `v` pixels from the mid-line (unscaled) in a table row: the first of
// the first ten thresholds t whose (150 - t) x 100 / 300 is at least v, else step 10.
SensorLevel SensorLevelFor(int row, int v);

class CVelSenSld : public QWidget {
  Q_OBJECT
 public:
  static constexpr size_t kWindow = 20;       // samples kept for the mean
  static constexpr int kPlotLimit = 150;      // plotted values clamp to +-this
  explicit CVelSenSld(int sensorIndex, QWidget* parent = nullptr);
  void AddSample(int sample);
  const std::deque<int>& Window() const { return window_; }
  // The newest sample minus the window mean, clamped to -150..150.
  int PlottedValue() const;
  void SetUseLevelTable(bool on) { useTable_ = on; }
  SensorLevel Level() const { return level_; }
  // Shows a stored step (0 to 10, from the table row) without announcing it.
  void SetLevelStep(int step);
  // Forgets the samples shown (a new recording, a seek).
  void ClearSamples();
  QSize sizeHint() const override;

 signals:
  // wParam the sensor index, lParam the new step.
  void levelSet(int sensor, int step);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  int sensor_;
  bool useTable_ = true;
  std::deque<int> window_;
  std::deque<int> plotted_;  // the values drawn, newest last
  SensorLevel level_;
};

}  // namespace tq
