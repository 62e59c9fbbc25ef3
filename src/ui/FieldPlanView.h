#pragma once
// The output's fields as the merge would write them, for the main window's "Fields..." button: the engine's
// check runs over the listed files under the options in force, and its plan is put in words for a table.

#include "ui/MergeOptions.h"

#include <QList>
#include <QStringList>

namespace fennick {

struct SFieldPlanView {
    // One row per field: the name as written, its type ("real (N)"), width, decimals, and what happened to
    // it on the way (the engine's notes, or that it is as the inputs declare it).
    QList<QStringList> rows;
    QString codePage; // the output's, in words
    QStringList warnings;
    // When the check failed: its message and reason; rows are then empty.
    QString failure;
    QString reason;
};

// The column titles of the rows.
QStringList FieldPlanHeaders();
// Checks files with the options and describes the plan.
SFieldPlanView PlanFields(const QStringList& files, const SMergeOptions& options);

} // namespace fennick
