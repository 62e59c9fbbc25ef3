#pragma once
// The layers a folder adds to the desktop program's list, found as fennick-merge finds a folder's layers.

#include <QString>
#include <QStringList>

namespace fennick {

// The folder's vector layers (a source of several as each of them, SOURCE:LAYER) in natural order (with
// recursive, each folder's before its subfolders'); hidden files and companion files are left out. When the
// folder cannot be read, or holds no layer, the result is empty and problem says why.
QStringList FolderLayers(const QString& folder, bool recursive, QString& problem);

} // namespace fennick
