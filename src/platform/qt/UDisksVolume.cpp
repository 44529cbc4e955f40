#include "platform/qt/UDisksVolume.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QVariantMap>

#include "platform/DriveProvider.h"

namespace tq {
namespace {

constexpr char kService[] = "org.freedesktop.UDisks2";
constexpr char kManagerPath[] = "/org/freedesktop/UDisks2/Manager";
constexpr char kManager[] = "org.freedesktop.UDisks2.Manager";
constexpr char kBlock[] = "org.freedesktop.UDisks2.Block";
constexpr char kFilesystem[] = "org.freedesktop.UDisks2.Filesystem";
constexpr char kPartition[] = "org.freedesktop.UDisks2.Partition";
constexpr char kPartitionTable[] = "org.freedesktop.UDisks2.PartitionTable";
constexpr char kProperties[] = "org.freedesktop.DBus.Properties";
constexpr char kFat32LbaType[] = "0x0c";
// The authorisation dialog waits for the user; a short D-Bus timeout would cancel it.
constexpr int kAuthTimeoutMs = 5 * 60 * 1000;
constexpr int kCallTimeoutMs = 60 * 1000;

QDBusMessage Call(const QString& path, const char* interface, const char* method, const QVariantList& args,
                  int timeoutMs = kCallTimeoutMs) {
  QDBusMessage m = QDBusMessage::createMethodCall(kService, path, interface, method);
  m.setArguments(args);
  m.setInteractiveAuthorizationAllowed(true);
  return QDBusConnection::systemBus().call(m, QDBus::Block, timeoutMs);
}

bool Failed(const QDBusMessage& reply, const std::string& what, std::string* error) {
  if (reply.type() != QDBusMessage::ErrorMessage) return false;
  *error = what + ": " + reply.errorMessage().toStdString();
  return true;
}

QVariant Property(const QString& path, const char* interface, const char* name) {
  QDBusMessage r = Call(path, kProperties, "Get", {QString(interface), QString(name)});
  if (r.type() == QDBusMessage::ErrorMessage || r.arguments().isEmpty()) return {};
  return r.arguments().first().value<QDBusVariant>().variant();
}

// The disk service's object for a device node, "" when it does not know it.
QString ObjectFor(const std::string& device, std::string* error) {
  QVariantMap spec{{"path", QString::fromStdString(device)}};
  QDBusMessage r = Call(kManagerPath, kManager, "ResolveDevice", {spec, QVariantMap{}});
  if (Failed(r, "disk service", error)) return {};
  QList<QDBusObjectPath> paths;
  if (!r.arguments().isEmpty()) paths = qdbus_cast<QList<QDBusObjectPath>>(r.arguments().first());
  if (paths.isEmpty()) {
    *error = device + ": unknown to the disk service";
    return {};
  }
  return paths.first().path();
}

std::unique_ptr<RawVolume> OpenThroughDiskService(const FormatCandidate& c, std::string* error) {
  QString object = ObjectFor(c.path, error);
  if (object.isEmpty()) return nullptr;
  // Unmount first: the service refuses to unmount what we hold open, and a mount left
  // would write its old file system over ours.
  QDBusMessage r = Call(object, kFilesystem, "Unmount", {QVariantMap{}}, kAuthTimeoutMs);
  if (r.type() == QDBusMessage::ErrorMessage && !r.errorName().endsWith("NotMounted")) {
    Failed(r, "unmount " + c.path, error);
    return nullptr;
  }
  QVariantMap options{{"flags", int(O_EXCL | O_DIRECT | O_CLOEXEC)}};
  r = Call(object, kBlock, "OpenDevice", {QString("rw"), options}, kAuthTimeoutMs);
  if (Failed(r, "open " + c.path, error)) return nullptr;
  if (r.arguments().isEmpty()) {
    *error = "open " + c.path + ": no descriptor from the disk service";
    return nullptr;
  }
  auto handle = qdbus_cast<QDBusUnixFileDescriptor>(r.arguments().first());
  int fd = handle.isValid() ? ::fcntl(handle.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
  if (fd < 0) {
    *error = "open " + c.path + ": no descriptor from the disk service";
    return nullptr;
  }
  bool ok = false;
  qulonglong offset = Property(object, kPartition, "Offset").toULongLong(&ok);
  return BlockVolumeFromFd(fd, c.path, ok ? int64_t(offset) : PartitionStartBytes(c.path), error);
}

}  // namespace

std::unique_ptr<RawVolume> OpenFormatVolume(const FormatCandidate& c, std::string* error) {
  if (c.image) return OpenImageVolume(c.path, c.sectorSize, error);
  if (::geteuid() == 0) {
    std::string serviceError;
    if (auto v = OpenThroughDiskService(c, &serviceError)) return v;
    return OpenBlockVolume(c.path, error);
  }
  return OpenThroughDiskService(c, error);
}

void AfterFormat(const FormatCandidate& c) {
  if (c.image) {
    ForgetListedRoot(c.cardRoot);
    return;
  }
  std::string error;
  QString object = ObjectFor(c.path, &error);
  if (object.isEmpty()) return;
  // Only a DOS partition table has a type byte for FAT32; a GPT entry already says
  // "basic data" and a card without a table has nothing to set.
  QVariant table = Property(object, kPartition, "Table");
  QString tablePath = table.value<QDBusObjectPath>().path();
  if (!tablePath.isEmpty() && Property(tablePath, kPartitionTable, "Type").toString() == "dos")
    Call(object, kPartition, "SetType", {QString(kFat32LbaType), QVariantMap{}}, kAuthTimeoutMs);
  Call(object, kBlock, "Rescan", {QVariantMap{}});
}

}  // namespace tq
