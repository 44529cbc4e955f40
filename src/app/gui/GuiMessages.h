// The program's window messages as queued Qt events; the numbers are the message numbers
// (WM_USER + n) so traces and callers speak of the same messages.
#pragma once

#include <QCoreApplication>
#include <QEvent>

namespace tq {

inline constexpr int kWmUser = 0x400;
inline constexpr int UM_PLAY_REQUEST = kWmUser + 105;
inline constexpr int UM_CARD_CHANGED = kWmUser + 107;
inline constexpr int UM_SHOW_WAIT = kWmUser + 109;
inline constexpr int UM_TOGGLE_VIEW_MODE = kWmUser + 101;
// Command notification (wParam: command id, lParam: sender's handle or 0).
inline constexpr int kWmCommand = 0x0111;
inline constexpr int kIdOk = 1;
// System command a second start sends (lParam 0: restore; non-zero: open the cloud viewer).
inline constexpr int kWmSysCommand = 0x0112;
inline constexpr int kScRestoreOrCloud = 0xF400;

class MsgEvent : public QEvent {
 public:
  static QEvent::Type TypeOf(int msg) { return QEvent::Type(QEvent::User + msg); }
  MsgEvent(int msg, long long wParam, long long lParam) : QEvent(TypeOf(msg)), msg(msg), wParam(wParam), lParam(lParam) {}
  const int msg;
  const long long wParam;
  const long long lParam;
};

// PostMessage: queued to `target`, handled on its thread's next event loop turn.
inline void PostMsg(QObject* target, int msg, long long wParam, long long lParam) {
  QCoreApplication::postEvent(target, new MsgEvent(msg, wParam, lParam));  // the queue owns it
}

}  // namespace tq
