// Shared helpers of the window tests: temporary cards and environment.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tq::test {

// A card of the first family: TQ-MB20/Record with empty recordings, and its identity file.
inline void MakeFolderCard(const QString& root, const QStringList& names) {
  QDir().mkpath(root + "/TQ-MB20/Record");
  QDir().mkpath(root + "/TQ-MB20/Config");
  for (const QString& n : names) {
    QFile f(root + "/TQ-MB20/Record/" + n + ".mp4");
    f.open(QIODevice::WriteOnly);
  }
  QFile id(root + "/TQ-MB20/Config/version.bin");
  id.open(QIODevice::WriteOnly);
  id.write("[firmware]\r\nversion = 1.005\r\nmodel = XTQ-MB20A\r\nlanguage = English\r\nopt = 0\r\n"
           "[config]\r\nversion = 1.002\r\n[local]\r\noption = 0\r\nregion = 0\r\n");
}

// A card of the second family: setup.cfg at the root, recordings at the root.
inline void MakeSetupCfgCard(const QString& root, const QStringList& names) {
  QDir().mkpath(root);
  QByteArray cfg(64, '\0');
  cfg.replace(0, 9, "TQ4400K-1");
  QFile f(root + "/setup.cfg");
  f.open(QIODevice::WriteOnly);
  f.write(cfg);
  for (const QString& n : names) {
    QFile rec(root + "/" + n + ".mp4");
    rec.open(QIODevice::WriteOnly);
  }
}

}  // namespace tq::test
