#include "ui/FieldPlanView.h"

#include "data/GeoTypes.h"
#include "merge/MergeReport.h"
#include "merge/ShpMerge.h"
#include "platform/Exceptions.h"

#include <new>

namespace fennick {

QStringList FieldPlanHeaders() {
    return {QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Width"),
            QStringLiteral("Decimals"), QStringLiteral("Origin")};
}

SFieldPlanView PlanFields(const QStringList& files, const SMergeOptions& options) {
    SFieldPlanView view;
    CShpMerge engine;
    for (const QString& file : files)
        engine.AddFile(file.toStdU16String());
    options.ApplyTo(engine);
    try {
        engine.Check(nullptr);
    } catch (const CException& e) {
        view.failure = QString::fromStdU16String(e.Message());
        view.reason = QString::fromStdU16String(e.Detail());
        return view;
    } catch (const std::bad_alloc&) {
        view.failure = QString::fromStdU16String(CMemoryException().Message());
        return view;
    }
    for (const SPlannedField& field : engine.FieldPlan()) {
        QStringList notes;
        for (const std::u16string& note : field.notes)
            notes << QString::fromStdU16String(note);
        view.rows.append(
            {QString::fromStdU16String(field.name),
             QStringLiteral("%1 (%2)").arg(QLatin1String(FieldTypeName(field.type))).arg(field.letter),
             QString::number(field.width), QString::number(field.decimals),
             notes.isEmpty() ? QStringLiteral("as the inputs declare it") : notes.join(u"; ")});
    }
    const nlohmann::ordered_json page = CodePageJson(engine.OutputCodePage());
    view.codePage = page.is_null() ? QStringLiteral("none (texts keep their bytes)")
                                   : QString::fromStdString(page.get<std::string>());
    for (const std::u16string& warning : engine.Warnings())
        view.warnings << QString::fromStdU16String(warning);
    return view;
}

} // namespace fennick
