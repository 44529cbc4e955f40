// The playback session's window: the front camera's view on screen and the bridge that
// turns the engine's posts into queued events for the player panel. The engine itself
// (CDispWnd) stays free of Qt; this widget owns it for the panel.
//
// GUI thread only, except the sink and the observer, which the engine's workers call;
// both only post events and never block.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "platform/qt/QtWaveOut.h"
#include "playback/CDispWnd.h"

namespace tq {

class CDispWndWidget : public QWidget {
  Q_OBJECT
 public:
  // Command the session window sends its owner on a double click (full-screen toggle).
  static constexpr int kDoubleClickCommand = 1229;

  // settingsFolder holds the engine's scratch files; owner receives every play message
  // as a MsgEvent (kMsgPlay, kMsgControlNotify) and the double-click command.
  CDispWndWidget(const std::string& settingsFolder, QObject* owner, QWidget* parent = nullptr);
  ~CDispWndWidget() override;

  CDispWnd& Session() { return *session_; }

 private:
  class Sink;
  std::unique_ptr<Sink> sink_;
  std::unique_ptr<QtWaveOut> waveOut_;  // the session's sound device; outlives the session
  std::unique_ptr<CDispWnd> session_;
};

}  // namespace tq
