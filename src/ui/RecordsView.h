#pragma once
// CRecordsView: a look at one listed file's records before the merge: its first 1,000 records in a table
// whose columns are the fields as the merge will write them (names as written, the type, width and
// decimals in the header's tooltip), nulls shown empty, and the file's record count above. The records are
// read on the background thread; the window opens at once.

#include "merge/RecordSample.h"

#include <QDialog>

#include <functional>

class QLabel;
class QTableWidget;

namespace fennick {

class CRecordsView : public QDialog {
    Q_OBJECT

public:
    static constexpr std::size_t kShownRecords = 1000;
    // Runs a job on the background thread (CMapModel::Runner); null runs it at once.
    using Runner = std::function<void(std::function<void()>)>;

    CRecordsView(const QString& path, const Runner& runner, QWidget* parent = nullptr);

    QTableWidget* Table() const { return m_table; }
    QString CountText() const;

private:
    void Show(const SRecordSample& sample);

    QString m_path;
    QLabel* m_count;
    QTableWidget* m_table;
};

} // namespace fennick
