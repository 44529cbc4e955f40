// The month calendar of the timeline panel: the days with recordings in dark figures, the
// others grey, the selected and the hovered day on a marker, and two buttons that turn the
// month. A click on a recording day selects it (a second click on the selected day
// deselects it) and posts kMsgSeekRequest (wParam 0, lParam 1 selected / 0 deselected) to
// the owner. GUI thread only.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

namespace tq {

class CVelCalendar : public QWidget {
  Q_OBJECT
 public:
  // `owner` receives the requests and outlives the calendar.
  CVelCalendar(QObject* owner, QWidget* parent = nullptr);

  // The recording days (YYYYMMDD, any order, repeats allowed); clears the selection and
  // shows the newest day's month (the current month when there are none).
  void SetDates(const std::vector<int32_t>& dates);
  // Makes `date` the focus day, showing its month.
  void SelectDate(int32_t date);
  // Shows `date` as the selected day without asking anything of the owner (a filter that
  // is already in force).
  void KeepSelected(int32_t date);
  // Turns the shown month by `delta` months.
  void ShowMonth(int delta);

  const std::vector<int32_t>& Dates() const { return dates_; }
  int32_t SelectedDate() const { return selected_; }  // 0: none
  int32_t LastClicked() const { return lastClicked_; }
  int32_t FocusDate() const { return focus_; }
  int ShownYear() const { return year_; }
  int ShownMonth() const { return month_; }
  // The centre of a day's cell in the shown month (widget coordinates).
  QPoint DayCentre(int day) const;
  QPoint ButtonCentre(int which) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool IsRecordingDay(int day) const;
  int32_t DateOf(int day) const { return year_ * 10000 + month_ * 100 + day; }
  void ShowDate(int32_t date);

  QObject* owner_;
  int scale_;
  int year_ = 2000, month_ = 1;
  int32_t focus_ = 0;
  int hoverDay_ = 0;
  int hoverButton_ = -1;
  std::vector<int32_t> dates_;  // ascending, each once
  int32_t selected_ = 0;
  int32_t lastClicked_ = 0;
};

}  // namespace tq
