#pragma once
// The output's choices as people type them in the options dialog: code pages by name (every name a .cpg may
// hold) and the target coordinate system (EPSG:CODE or a .prj file), read as fennick-merge reads them.

#include <QString>
#include <QStringList>

namespace fennick {

// The code pages offered by name, UTF-8 first; each is a name the .cpg reader accepts.
QStringList CodePageChoices();
// The code page a typed name stands for: 0 for an empty name (the default), -1 when it names none known here.
int CodePageOfChoice(const QString& name);
// Why a target text cannot be used, empty when it can: empty (the first input's system), EPSG:CODE, or the
// path of a .prj file that exists.
QString TargetCrsProblem(const QString& text);

} // namespace fennick
