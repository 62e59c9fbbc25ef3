#include "ui/RecordsView.h"

#include "ui/FileFactsModel.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTableWidget>
#include <QVBoxLayout>

namespace fennick {

CRecordsView::CRecordsView(const QString& path, const Runner& runner, QWidget* parent)
    : QDialog(parent), m_path(path), m_count(new QLabel(this)), m_table(new QTableWidget(this)) {
    setObjectName(QStringLiteral("IDD_RECORDS"));
    setWindowTitle(QStringLiteral("Records of %1").arg(QFileInfo(path).fileName()));
    m_count->setObjectName(QStringLiteral("IDC_RECORD_COUNT"));
    m_count->setText(QStringLiteral("Reading %1...").arg(path));
    m_count->setTextFormat(Qt::PlainText);
    m_table->setObjectName(QStringLiteral("IDC_RECORDS"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_count);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(720, 440);

    const auto job = [path = path.toStdU16String(), view = QPointer<CRecordsView>(this)] {
        auto sample = std::make_shared<const SRecordSample>(ReadRecordSample(path, kShownRecords));
        QMetaObject::invokeMethod(
            view.data(),
            [view, sample] {
                if (view)
                    view->Show(*sample);
            },
            Qt::QueuedConnection);
    };
    if (runner)
        runner(job);
    else
        job();
}

QString CRecordsView::CountText() const {
    return m_count->text();
}

void CRecordsView::Show(const SRecordSample& sample) {
    if (!sample.error.empty()) {
        m_count->setText(QFileInfo(m_path).fileName() + QStringLiteral(": ") +
                         QString::fromStdU16String(sample.error));
        return;
    }
    const int64_t shown = static_cast<int64_t>(sample.rows.size());
    m_count->setText(
        shown < sample.records ? QStringLiteral("%1 records; the first %2 are shown.")
                                     .arg(fennick::CountText(sample.records), fennick::CountText(shown))
        : sample.records == 1 ? QStringLiteral("1 record.")
                              : QStringLiteral("%1 records.").arg(fennick::CountText(sample.records)));
    m_table->setColumnCount(static_cast<int>(sample.fields.size()));
    m_table->setRowCount(static_cast<int>(sample.rows.size()));
    for (std::size_t f = 0; f < sample.fields.size(); ++f) {
        const SPlannedField& field = sample.fields[f];
        auto* header = new QTableWidgetItem(QString::fromStdU16String(field.name));
        QString type = QString(QLatin1Char(field.letter)) + u'(' + QString::number(field.width);
        if (field.decimals > 0)
            type += u'.' + QString::number(field.decimals);
        header->setToolTip(type + u')');
        m_table->setHorizontalHeaderItem(static_cast<int>(f), header);
    }
    for (std::size_t r = 0; r < sample.rows.size(); ++r)
        for (std::size_t f = 0; f < sample.rows[r].size(); ++f) {
            const auto& value = sample.rows[r][f];
            auto* item = new QTableWidgetItem(value ? QString::fromStdU16String(*value) : QString());
            if (sample.fields[f].letter == 'N' || sample.fields[f].letter == 'F')
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(static_cast<int>(r), static_cast<int>(f), item);
        }
    m_table->resizeColumnsToContents();
}

} // namespace fennick
