#include "ui/StringResources.h"

namespace fennick {

QString LoadResourceString(unsigned id) {
    switch (id) {
    case 101:
        return QStringLiteral("&About Fennick...");
    case 103:
        return QStringLiteral("The files have been merged successfully.\n%1");
    case 104:
        return QStringLiteral("Merging files...");
    default:
        return QString();
    }
}

} // namespace fennick
