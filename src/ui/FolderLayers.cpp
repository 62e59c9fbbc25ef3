#include "ui/FolderLayers.h"

#include "merge/InputList.h"
#include "platform/Exceptions.h"

#include <QDir>

namespace fennick {

QStringList FolderLayers(const QString& folder, bool recursive, QString& problem) {
    QStringList layers;
    try {
        for (const std::u16string& layer :
             LayersInFolder(QDir::cleanPath(folder).toStdU16String(), recursive, std::u16string()))
            layers << QString::fromStdU16String(layer);
    } catch (const CException& e) {
        problem = QString::fromStdU16String(e.Message());
        if (!e.Detail().empty())
            problem.append(u'\n').append(QString::fromStdU16String(e.Detail()));
        return {};
    }
    if (layers.isEmpty())
        problem = (recursive ? QStringLiteral("%1 and its subfolders hold no vector layer.")
                             : QStringLiteral("%1 holds no vector layer."))
                      .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)));
    return layers;
}

} // namespace fennick
