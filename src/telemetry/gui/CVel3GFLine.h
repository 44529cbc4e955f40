// The G-sensor strip graph under the timeline: the recording's slots drawn as three axis
// lines over a grid, the current slot framed, the last clicked slot highlighted, and a
// small triangle above each slot whose jolt passes the event threshold. A click posts the
// slot's start to the owner (kMsgSeekRequest, wParam 3); a double click on a marker posts
// 3 s before it. GUI thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

#include "telemetry/GSensorGraph.h"
#include "telemetry/TimeLine.h"

namespace tq {

class CVel3GFLine : public QWidget {
  Q_OBJECT
 public:
  // `owner` receives the seek requests and outlives the graph.
  CVel3GFLine(QObject* owner, QWidget* parent = nullptr);

  void Set3GF(const uint8_t* block, int64_t length, int32_t durationSeconds, uint8_t secondsPerSlot);
  void SetPos(int64_t ms);
  void Clear();
  void SetEventThreshold(int threshold);

  const GSensorGraph& Graph() const { return graph_; }
  const std::vector<GSensorEvent>& Events() const { return events_; }
  // Where the marker of event i is drawn (widget coordinates).
  QRect MarkerRect(size_t i) const;
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Render();
  void FindEvents();
  int MarkerAt(const QPoint& pos) const;
  void PostSeek(int32_t seconds);

  QObject* owner_;
  GSensorGraph graph_;
  std::vector<GSensorEvent> events_;
  int threshold_ = kDefaultEventThreshold;
  QImage picture_;  // the rendered graph, drawing width x height
};

}  // namespace tq
