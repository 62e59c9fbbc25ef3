#include "ui/DriveList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace fennick {

namespace {

// The "removable" flag of the disk that holds a block device, from sysfs; a partition's flag is its disk's.
bool SysfsRemovable(const QString& deviceName) {
    QString node = QFileInfo(QStringLiteral("/sys/class/block/") + deviceName).canonicalFilePath();
    if (node.isEmpty())
        return false;
    if (QFileInfo::exists(node + QStringLiteral("/partition")))
        node = QFileInfo(node).path();
    QFile flag(node + QStringLiteral("/removable"));
    if (!flag.open(QIODevice::ReadOnly))
        return false;
    return flag.readAll().trimmed() == "1";
}

} // namespace

QString DriveDisplayName(const QString& label, const QString& mountPoint) {
    if (label.isEmpty())
        return mountPoint;
    return label + QStringLiteral(" (") + mountPoint + u')';
}

unsigned DriveTypeOf(const QString& device, const QString& mountPoint) {
    if (mountPoint == u"/")
        return kDriveFixed;
    const QString deviceName = QFileInfo(device).fileName();
    if (device.startsWith(u"/dev/sr") || device.startsWith(u"/dev/scd"))
        return kDriveCdRom;
    // Desktop environments mount user media under these folders, also for disks that do not call
    // themselves removable (USB hard disks).
    if (mountPoint.startsWith(u"/media/") || mountPoint.startsWith(u"/run/media/"))
        return kDriveRemovable;
    if (device.startsWith(u"/dev/") && SysfsRemovable(deviceName))
        return kDriveRemovable;
    return kDriveFixed;
}

std::vector<SDriveEntry> ListDrives() {
    std::vector<SDriveEntry> drives;
    const QStorageInfo root = QStorageInfo::root();
    drives.push_back({QStringLiteral("/"), DriveDisplayName(root.name(), QStringLiteral("/")), kDriveFixed});
    std::vector<SDriveEntry> removable;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString mountPoint = volume.rootPath();
        if (mountPoint == u"/" || !volume.isValid())
            continue;
        const unsigned type = DriveTypeOf(QString::fromUtf8(volume.device()), mountPoint);
        if (type != kDriveRemovable && type != kDriveCdRom)
            continue;
        removable.push_back({mountPoint, DriveDisplayName(volume.name(), mountPoint), type});
    }
    std::sort(removable.begin(), removable.end(),
              [](const SDriveEntry& a, const SDriveEntry& b) { return a.root < b.root; });
    drives.insert(drives.end(), removable.begin(), removable.end());
    return drives;
}

} // namespace fennick
