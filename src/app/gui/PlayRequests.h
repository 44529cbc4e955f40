// Play requests in flight between the file list, the main view, the player panel and the
// main frame's wait message.
#pragma once

#include <QPointer>

#include "controls/CWaitMsg.h"

namespace tq {

struct PlayRequests {
  // Guarded by AppState::catalogLock: how many play requests are in flight, and the
  // wait message the main frame shows while any is (it stores itself here).
  int pending = 0;
  CWaitMsg* waitWindow = nullptr;
  // GUI thread only: 1 from a double click until the main view has handled the request.
  bool requestPending = false;
  // GUI thread only: set when the timeline or the G-sensor graph posts a click; cleared
  // when the timeline panel has handled it or when the playback it asked for starts or
  // fails. While set, further clicks on them are ignored.
  bool navigationBusy = false;
};

// The program's one instance (the main window's panels share it).
PlayRequests& SharedPlayRequests();

}  // namespace tq
