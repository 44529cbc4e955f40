// Follows removable volumes coming and going and reports each change as an arrival or a
// removal, the two device events the main frame acts on. With TQ_MB20_DRIVES set the listed
// roots are polled; otherwise the mount table wakes us (POLLPRI on /proc/self/mountinfo).
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <set>
#include <string>

#include "platform/DriveProvider.h"

class QSocketNotifier;

namespace tq {

class QtDriveWatcher : public QObject {
  Q_OBJECT
 public:
  static constexpr int kPollMs = 250;  // roots of TQ_MB20_DRIVES
  // `drives` lists the volumes; it outlives the watcher.
  explicit QtDriveWatcher(const DriveProvider* drives, QObject* parent = nullptr);
  ~QtDriveWatcher() override;
  // Compares the volumes with the last look now (also called by the notifier and the timer).
  void Check();

 signals:
  void volumeArrived();
  void volumeRemoved();

 private:
  std::set<std::string> Roots() const;
  const DriveProvider* drives_;
  std::set<std::string> roots_;
  QTimer poll_;
  int mountFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tq
