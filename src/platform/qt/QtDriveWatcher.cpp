#include "platform/qt/QtDriveWatcher.h"

#include <QSocketNotifier>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace tq {

QtDriveWatcher::QtDriveWatcher(const DriveProvider* drives, QObject* parent) : QObject(parent), drives_(drives) {
  roots_ = Roots();
  const char* listed = std::getenv("TQ_MB20_DRIVES");
  if (listed && *listed) {
    connect(&poll_, &QTimer::timeout, this, &QtDriveWatcher::Check);
    poll_.start(kPollMs);
    return;
  }
  // The kernel flags the mount table with POLLPRI after every mount and unmount.
  mountFd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (mountFd_ >= 0) {
    notifier_ = std::make_unique<QSocketNotifier>(mountFd_, QSocketNotifier::Exception);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
      // Re-reading clears the flag until the next change.
      char buffer[4096];
      ::lseek(mountFd_, 0, SEEK_SET);
      while (::read(mountFd_, buffer, sizeof buffer) > 0) {
      }
      Check();
    });
  }
}

QtDriveWatcher::~QtDriveWatcher() {
  notifier_.reset();
  if (mountFd_ >= 0) ::close(mountFd_);
}

std::set<std::string> QtDriveWatcher::Roots() const {
  std::set<std::string> roots;
  if (drives_)
    for (const DriveInfo& d : drives_->RemovableDrives()) roots.insert(d.root);
  return roots;
}

void QtDriveWatcher::Check() {
  std::set<std::string> now = Roots();
  bool removed = false, arrived = false;
  for (const std::string& r : roots_) removed |= !now.count(r);
  for (const std::string& r : now) arrived |= !roots_.count(r);
  roots_ = std::move(now);
  // A removal is handled first so an exchange of cards ends on the new card.
  if (removed) emit volumeRemoved();
  if (arrived) emit volumeArrived();
}

}  // namespace tq
