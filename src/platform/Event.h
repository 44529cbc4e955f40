// An auto-reset event: Set wakes one waiter (or the next one to wait), which resets it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tq {

class Event {
 public:
  explicit Event(bool initiallySet = false) : set_(initiallySet) {}
  void Set();
  void Reset();
  // Waits until set or until timeoutMs passes (negative: no limit). True when it was set;
  // the event is reset by a successful wait.
  bool Wait(int64_t timeoutMs = -1);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool set_;  // guarded by mutex_
};

}  // namespace tq
