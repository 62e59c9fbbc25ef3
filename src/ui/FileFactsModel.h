#pragma once
// CFileFactsModel: the files to merge as a table: name, shape type, records, fields, coordinate system, code
// page and folder, with the full path as every cell's tooltip. The facts arrive later (SetFacts), read in
// the background, and each row is marked as fitting the first file or not under the merge options in
// force (SetFit), with the reason as the merge would report it. The first row sets the output's fields,
// coordinate system and code page: it is shown in bold and says so.
//
// The model asks for what it lacks through FactsWanted and FitWanted: facts once per file, a fit whenever a
// file is added, the first file changes or the options do. A fit carries the generation it was asked in;
// an answer from an older generation is dropped.

#include "merge/LayerFacts.h"
#include "ui/MergeOptions.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace fennick {

enum class EFileFit {
    Unknown, // not checked yet
    First,   // the first file
    Fits,
    Warns, // fits, with a note (coordinate systems that differ)
    Unfit,
};

class CFileFactsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum EColumn { kName, kShapeType, kRecords, kFields, kCoordSys, kCodePage, kFolder, kColumnCount };
    // The fit of a row (EFileFit as an int), for any column.
    static constexpr int kFitRole = Qt::UserRole + 1;

    explicit CFileFactsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The list's changes.
    void Append(const QString& path);
    void Remove(int row);
    void Clear();
    // Swaps the row with the one below it.
    void SwapWithNext(int row);

    QString Path(int row) const;
    QStringList Paths() const;
    EFileFit Fit(int row) const;
    QString FitReason(int row) const;

    // The options the fits are judged under.
    void SetOptions(const SMergeOptions& options);
    const SMergeOptions& Options() const { return m_options; }
    // The tooltip and font mark of the first row; empty: no mark.
    void SetFirstRowNote(const QString& note);
    // The colour a file is drawn in on the map, shown as a swatch before its shape type.
    void SetSwatches(std::function<QColor(const QString&)> colourOf);
    void SwatchesChanged();

    // Answers: facts for every row of that path; a fit for the row of that path when generation is the
    // current one.
    void SetFacts(const SLayerFacts& facts);
    void SetFit(uint64_t generation, const QString& path, EFileFit fit, const QString& reason);
    uint64_t Generation() const { return m_generation; }
    // True while a row lacks its facts or its fit.
    bool IsPending() const;

    // The line under the list: the row's reason when it has one, else how the files fit as a whole.
    QString StatusText(int currentRow) const;

signals:
    void FactsWanted(const QString& path);
    void FitWanted(uint64_t generation, const QString& first, const QString& path,
                   const fennick::SMergeOptions& options);
    // Facts or fits changed (the status line follows).
    void FitsChanged();

private:
    struct SRow {
        QString path;
        bool known = false;
        SLayerFacts facts;
        EFileFit fit = EFileFit::Unknown;
        QString reason;
    };
    QString CellText(const SRow& row, int column) const;
    // Forgets every fit and asks again, in a new generation, when the first file or the options changed.
    void RefreshFits();
    void AskFit(SRow& row, int index);
    void RowsChanged(int first, int last);

    std::vector<SRow> m_rows;
    SMergeOptions m_options;
    QString m_firstNote;
    QString m_firstPath; // the first file the fits were asked against
    std::function<QColor(const QString&)> m_colourOf;
    uint64_t m_generation = 0;
};

// "polygon Z": the shape type and variant in words.
QString ShapeTypeText(int shapeType, int variant);
// A count with the digit grouping of the user's locale: "8,000,000".
QString CountText(int64_t count);

} // namespace fennick
