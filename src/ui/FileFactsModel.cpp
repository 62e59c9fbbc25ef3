#include "ui/FileFactsModel.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QLocale>
#include <QStyle>

namespace fennick {

QString ShapeTypeText(int shapeType, int variant) {
    return QString::fromLatin1(ShapeTypeName(shapeType, variant));
}

QString CountText(int64_t count) {
    return QLocale().toString(static_cast<qlonglong>(count));
}

CFileFactsModel::CFileFactsModel(QObject* parent) : QAbstractTableModel(parent) {}

int CFileFactsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CFileFactsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CFileFactsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const titles[kColumnCount] = {
        "File", "Shape Type", "Records", "Fields", "Coordinate System", "Code Page", "Folder"};
    return section >= 0 && section < kColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

QString CFileFactsModel::CellText(const SRow& row, int column) const {
    const QFileInfo file(row.path);
    if (column == kName)
        return file.fileName();
    if (column == kFolder)
        return file.absolutePath();
    if (!row.known)
        return column == kShapeType ? QStringLiteral("reading...") : QString();
    if (!row.facts.error.empty())
        return column == kShapeType ? QStringLiteral("cannot be read") : QString();
    switch (column) {
    case kShapeType:
        return ShapeTypeText(row.facts.shapeType, row.facts.variant);
    case kRecords:
        return CountText(row.facts.records);
    case kFields:
        return CountText(row.facts.fields);
    case kCoordSys:
        return QString::fromStdU16String(row.facts.coordSys);
    case kCodePage:
        return row.facts.codePage > 0 ? QString::number(row.facts.codePage) : QStringLiteral("not declared");
    default:
        return QString();
    }
}

QVariant CFileFactsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const SRow& row = m_rows[static_cast<std::size_t>(index.row())];
    const bool first = index.row() == 0 && !m_firstNote.isEmpty();
    switch (role) {
    case Qt::DisplayRole:
        return CellText(row, index.column());
    case Qt::ToolTipRole: {
        QString tip = row.path;
        if (first)
            tip += u'\n' + m_firstNote;
        if (!row.facts.error.empty())
            tip += u'\n' + QString::fromStdU16String(row.facts.error);
        else if (!row.reason.isEmpty())
            tip += u'\n' + row.reason;
        return tip;
    }
    case Qt::FontRole:
        if (first) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == kRecords || index.column() == kFields)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    case Qt::DecorationRole: {
        if (index.column() == kShapeType && m_colourOf) {
            const QColor colour = m_colourOf(row.path);
            return colour.isValid() ? QVariant(colour) : QVariant();
        }
        if (index.column() != kName || !qobject_cast<QApplication*>(QCoreApplication::instance()))
            return QVariant();
        QStyle* style = QApplication::style();
        switch (row.fit) {
        case EFileFit::Fits:
            return style->standardIcon(QStyle::SP_DialogApplyButton);
        case EFileFit::Warns:
            return style->standardIcon(QStyle::SP_MessageBoxWarning);
        case EFileFit::Unfit:
            return style->standardIcon(QStyle::SP_MessageBoxCritical);
        case EFileFit::First:
            return style->standardIcon(QStyle::SP_ArrowUp);
        default:
            return QVariant();
        }
    }
    case kFitRole:
        return static_cast<int>(row.fit);
    default:
        return QVariant();
    }
}

void CFileFactsModel::Append(const QString& path) {
    const int index = rowCount();
    beginInsertRows(QModelIndex(), index, index);
    SRow row;
    row.path = path;
    m_rows.push_back(std::move(row));
    endInsertRows();
    emit FactsWanted(path);
    if (index == 0)
        RefreshFits();
    else
        AskFit(m_rows.back(), index);
    emit FitsChanged();
}

void CFileFactsModel::Remove(int row) {
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    if (row == 0)
        RefreshFits();
    emit FitsChanged();
}

void CFileFactsModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
    RefreshFits();
    emit FitsChanged();
}

void CFileFactsModel::SwapWithNext(int row) {
    if (row < 0 || row + 1 >= rowCount())
        return;
    beginMoveRows(QModelIndex(), row + 1, row + 1, QModelIndex(), row);
    std::swap(m_rows[static_cast<std::size_t>(row)], m_rows[static_cast<std::size_t>(row + 1)]);
    endMoveRows();
    if (row == 0) {
        RowsChanged(0, 1); // the mark moved
        RefreshFits();
        emit FitsChanged();
    }
}

QString CFileFactsModel::Path(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)].path : QString();
}

QStringList CFileFactsModel::Paths() const {
    QStringList paths;
    for (const SRow& row : m_rows)
        paths << row.path;
    return paths;
}

EFileFit CFileFactsModel::Fit(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)].fit : EFileFit::Unknown;
}

QString CFileFactsModel::FitReason(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)].reason : QString();
}

void CFileFactsModel::SetOptions(const SMergeOptions& options) {
    if (options == m_options)
        return;
    m_options = options;
    m_firstPath.clear(); // every fit is judged again
    RefreshFits();
    emit FitsChanged();
}

void CFileFactsModel::SetFirstRowNote(const QString& note) {
    m_firstNote = note;
    RowsChanged(0, 0);
}

void CFileFactsModel::SetSwatches(std::function<QColor(const QString&)> colourOf) {
    m_colourOf = std::move(colourOf);
    SwatchesChanged();
}

void CFileFactsModel::SwatchesChanged() {
    if (rowCount() > 0)
        emit dataChanged(index(0, kShapeType), index(rowCount() - 1, kShapeType), {Qt::DecorationRole});
}

void CFileFactsModel::RowsChanged(int first, int last) {
    if (rowCount() > 0)
        emit dataChanged(index(first, 0), index(std::min(last, rowCount() - 1), kColumnCount - 1));
}

void CFileFactsModel::RefreshFits() {
    const QString first = Path(0);
    if (first == m_firstPath && !first.isEmpty())
        return;
    m_firstPath = first;
    ++m_generation;
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        AskFit(m_rows[i], static_cast<int>(i));
    RowsChanged(0, rowCount() - 1);
}

void CFileFactsModel::AskFit(SRow& row, int index) {
    row.reason.clear();
    if (index == 0) {
        row.fit = EFileFit::First;
        return;
    }
    row.fit = EFileFit::Unknown;
    emit FitWanted(m_generation, m_firstPath, row.path, m_options);
}

void CFileFactsModel::SetFacts(const SLayerFacts& facts) {
    const QString path = QString::fromStdU16String(facts.path);
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].path == path) {
            m_rows[i].facts = facts;
            m_rows[i].known = true;
            RowsChanged(static_cast<int>(i), static_cast<int>(i));
        }
    emit FitsChanged();
}

void CFileFactsModel::SetFit(uint64_t generation, const QString& path, EFileFit fit, const QString& reason) {
    if (generation != m_generation)
        return;
    for (std::size_t i = 1; i < m_rows.size(); ++i)
        if (m_rows[i].path == path) {
            m_rows[i].fit = fit;
            m_rows[i].reason = reason;
            RowsChanged(static_cast<int>(i), static_cast<int>(i));
        }
    emit FitsChanged();
}

bool CFileFactsModel::IsPending() const {
    for (const SRow& row : m_rows)
        if (!row.known || row.fit == EFileFit::Unknown)
            return true;
    return false;
}

QString CFileFactsModel::StatusText(int currentRow) const {
    if (m_rows.empty())
        return QString();
    if (currentRow >= 0 && currentRow < rowCount()) {
        const SRow& row = m_rows[static_cast<std::size_t>(currentRow)];
        const QString name = QFileInfo(row.path).fileName();
        if (!row.facts.error.empty())
            return name + QStringLiteral(": ") + QString::fromStdU16String(row.facts.error);
        if ((row.fit == EFileFit::Unfit || row.fit == EFileFit::Warns) && !row.reason.isEmpty())
            return name + QStringLiteral(": ") + row.reason;
    }
    int unfit = 0, warns = 0;
    for (const SRow& row : m_rows) {
        unfit += row.fit == EFileFit::Unfit ? 1 : 0;
        warns += row.fit == EFileFit::Warns ? 1 : 0;
    }
    if (unfit > 0)
        return unfit == 1 ? QStringLiteral("1 file does not fit the first one; select it to see why.")
                          : QStringLiteral("%1 files do not fit the first one; select one to see why.")
                                .arg(CountText(unfit));
    if (IsPending())
        return QStringLiteral("Reading the files...");
    if (warns > 0)
        return warns == 1 ? QStringLiteral("1 file fits the first one with a note; select it to read it.")
                          : QStringLiteral("%1 files fit the first one with a note; select one to read it.")
                                .arg(CountText(warns));
    return m_rows.size() == 1 ? QStringLiteral("Add one more file to merge.")
                              : QStringLiteral("All files fit the first one.");
}

} // namespace fennick
