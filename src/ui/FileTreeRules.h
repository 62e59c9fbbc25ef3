#pragma once
// The rules by which the file tree lists a folder: which entries are shown, how they are ordered, which
// files a mask accepts, whether an item gets an expand button, and the attribute tests behind the colours.
// Pure file-system logic, usable without a display.

#include <QString>

#include <vector>

class QFileInfo;

namespace fennick {

// File attributes that can hide a file from the tree. Only "hidden" exists here: a name that begins with ".".
// System, temporary and offline files do not exist on this platform; the bits are kept so that the setting
// keeps its meaning.
enum : unsigned {
    kAttributeHidden = 0x2,
    kAttributeSystem = 0x4,
    kAttributeTemporary = 0x100,
    kAttributeOffline = 0x1000,
    kDefaultHidingAttributes = kAttributeHidden | kAttributeSystem | kAttributeTemporary | kAttributeOffline,
};

// What a folder listing shows.
struct STreeListRules {
    QString mask = QStringLiteral("*.*");
    bool showFiles = true;
    unsigned hidingAttributes = kDefaultHidingAttributes;
};

// One entry of a folder listing.
struct STreeEntry {
    QString fullPath;
    QString name;
    bool isFile = false;
};

// One entry of the file mask box: the text shown and the mask the tree lists with.
struct SMaskChoice {
    QString text;
    QString mask;
};

// The mask box's entries, the default first: shapefiles and MapInfo tables together, then each kind alone,
// then every vector layer the merge reads.
std::vector<SMaskChoice> LayerMaskChoices();

// Whether name matches mask: "*" and "?" wildcards, letter case ignored, "*.*" matching every name as on the
// system the masks come from. Several patterns may be separated by ";".
bool MaskMatches(const QString& mask, const QString& name);

// Whether a folder of this name is one layer source rather than a folder to open: a File Geodatabase
// (".gdb", any letter case). The tree lists it among the files, as a leaf that can be added.
bool IsLayerFolderName(const QString& name);

// A folder entry to list: a directory (links to directories count) other than "." and ".." and other than a
// layer folder. Hidden folders are shown.
bool ShowFolderEntry(const QFileInfo& entry);
// A file entry to list: files are shown, it is a regular file (or a link to one) or a layer folder, and it
// carries none of the hiding attributes.
bool ShowFileEntry(const QFileInfo& entry, const STreeListRules& rules);

// Folders before files, each by name ignoring letter case (names differing only in case keep a fixed order).
bool TreeEntryLess(const STreeEntry& a, const STreeEntry& b);

// The folders and the mask-matched files of folder, in display order. An unreadable folder lists nothing.
std::vector<STreeEntry> ListFolder(const QString& folder, const STreeListRules& rules);

// Whether path holds a folder to list or, failing that, a file that the rules list. False for a file or an
// unreadable folder. Stops at the first hit.
bool HasVisibleContent(const QString& path, const STreeListRules& rules);

// Path tests on the file system; a layer folder counts as a file.
bool PathIsFile(const QString& path);
bool PathIsFolder(const QString& path);
// The compressed and encrypted attributes that the file system reports for path.
bool PathHasCompressedAttribute(const QString& path);
bool PathHasEncryptedAttribute(const QString& path);

// path joined with name by one separator.
QString JoinTreePath(const QString& folder, const QString& name);

} // namespace fennick
