// One running viewer per user: the first start listens on a local socket named for the
// user; a later start connects, asks it to restore itself and exits.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <memory>

namespace tq {

class QtSingleInstance : public QObject {
  Q_OBJECT
 public:
  // The requests a second start sends: show yourself; or show yourself and open a
  // recording ("open " + absolute path + "\n").
  static constexpr char kRestoreRequest[] = "restore\n";
  static constexpr char kOpenRequest[] = "open ";
  // `name` overrides the per-user server name (tests).
  explicit QtSingleInstance(QString name = QString(), QObject* parent = nullptr);
  // True when another instance answered and was asked to restore (and to open `openPath`
  // when it is not empty); this one then exits.
  bool AskRunningInstance(int timeoutMs = 1000, const QString& openPath = QString());
  // Starts listening; false when the name cannot be taken.
  bool Listen();
  QString Name() const { return name_; }

 signals:
  void restoreRequested();
  // After restoreRequested: a second start was given this recording.
  void openRequested(const QString& path);

 private:
  QString name_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace tq
