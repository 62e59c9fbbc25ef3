#pragma once
// The "drives" at the top of the file tree: the root folder and the mounted removable volumes (USB sticks,
// memory cards, optical discs).

#include <QString>

#include <vector>

namespace fennick {

// Drive type bits, as the tree's "drive types hidden" setting names them.
enum : unsigned {
    kDriveRemovable = 1,
    kDriveFixed = 2,
    kDriveRemote = 4,
    kDriveCdRom = 16,
    kDriveRamDisk = 32,
};

struct SDriveEntry {
    QString root;        // the mount point, "/" for the root folder
    QString displayName; // see DriveDisplayName
    unsigned type = kDriveFixed;
};

// The root folder first, then the mounted removable and optical volumes ordered by mount point.
std::vector<SDriveEntry> ListDrives();

// What the tree shows for a volume: "label (mount point)", or the mount point alone without a label.
QString DriveDisplayName(const QString& label, const QString& mountPoint);

// The drive type of a mounted volume given by its block device ("/dev/sdb1") and mount point.
unsigned DriveTypeOf(const QString& device, const QString& mountPoint);

} // namespace fennick
