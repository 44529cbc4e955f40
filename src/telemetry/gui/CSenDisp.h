// The sensor view's video window: the playback engine's session window (frame index,
// decoder, renderer of the player) playing the front picture of one MP4 recording at
// normal speed and without sound. GUI thread only.
#pragma once

#include <QWidget>
#include <string>

#include "container/Mp4Box.h"

namespace tq {

class CDispWnd;
class CDispWndWidget;

class CSenDisp : public QWidget {
  Q_OBJECT
 public:
  // `owner` receives the engine's play messages; `scratchFolder` holds the engine's
  // scratch files, apart from the player's.
  CSenDisp(const std::string& scratchFolder, QObject* owner, QWidget* parent = nullptr);
  ~CSenDisp() override;

  // Plays the front video of the validated recording at 1X, silent (the description's
  // sound part is cleared for that). False when the engine cannot open it.
  bool StartPlay(const std::string& path, MP4INFO* info);
  void StopPlay();
  void Pause(bool on);
  void Seek(uint32_t ms);
  bool Playing() const { return open_; }

  CDispWndWidget* View() const { return view_; }
  CDispWnd& Session();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  CDispWndWidget* view_;
  bool open_ = false;
};

}  // namespace tq
