// Starting the viewer program as a separate process in a private home: its environment,
// its trace file and whether the running instance answers.
#pragma once

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcessEnvironment>
#include <QString>

namespace tq::test {

// The settings folder is made one level deep only, so the documents folder must exist.
inline QProcessEnvironment ViewerEnvironment(const QString& home, const QString& drives, const QString& instance) {
  QDir().mkpath(home + "/Documents");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home);
  env.insert("XDG_CONFIG_HOME", home + "/config");
  env.insert("XDG_RUNTIME_DIR", home);
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("TQ_MB20_DRIVES", drives);
  env.insert("TQ_MB20_INSTANCE", instance);
  return env;
}

inline QString ViewerTrace(const QString& home) {
  QFile f(home + "/Documents/TQ-MB20/trace_sd.txt");
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A viewer is running under this instance name once its socket answers.
inline bool InstanceAnswers(const QString& instance) {
  QLocalSocket probe;
  probe.connectToServer(instance);
  const bool up = probe.waitForConnected(100);
  probe.abort();
  return up;
}

}  // namespace tq::test
