#include "ui/OutputOptionsPane.h"

#include "ui/EpsgSearch.h"
#include "ui/OutputChoices.h"
#include "ui_OutputOptionsPane.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>

#include <algorithm>

namespace fennick {

COutputOptionsPane::COutputOptionsPane(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::COutputOptionsPane>()) {
    m_ui->setupUi(this);
    const QStringList pages = CodePageChoices();
    for (QComboBox* box : {m_ui->IDC_ENCODING, m_ui->IDC_INPUT_ENCODING}) {
        box->addItems(pages);
        box->setCurrentIndex(-1);
        connect(box, &QComboBox::editTextChanged, this, &COutputOptionsPane::UpdateProblem);
    }
    m_ui->IDC_ENCODING->lineEdit()->setPlaceholderText(QStringLiteral("the first file's"));
    m_ui->IDC_INPUT_ENCODING->lineEdit()->setPlaceholderText(QStringLiteral("none: their bytes as they are"));
    connect(m_ui->IDC_TARGET_CRS, &QLineEdit::textChanged, this, &COutputOptionsPane::UpdateProblem);
    connect(m_ui->IDC_TARGET_CRS_BROWSE, &QPushButton::clicked, this, &COutputOptionsPane::OnBrowse);
    connect(m_ui->IDC_CRS_SEARCH, &QLineEdit::textChanged, this, &COutputOptionsPane::OnSearch);
    connect(m_ui->IDC_CRS_RESULTS, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { Pick(m_ui->IDC_CRS_RESULTS->row(item)); });
    connect(m_ui->IDC_CRS_RESULTS, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { Pick(m_ui->IDC_CRS_RESULTS->row(item)); });
    // Enter in the search box picks a match instead of closing the dialog.
    m_ui->IDC_CRS_SEARCH->installEventFilter(this);
    UpdateProblem();
}

COutputOptionsPane::~COutputOptionsPane() = default;

void COutputOptionsPane::SetChoices(const SMergeOptions& options) {
    m_ui->IDC_ENCODING->setEditText(options.outputEncoding);
    m_ui->IDC_INPUT_ENCODING->setEditText(options.inputEncoding);
    m_ui->IDC_TARGET_CRS->setText(options.targetCrs);
    UpdateProblem();
}

void COutputOptionsPane::TakeChoices(SMergeOptions& options) const {
    options.outputEncoding = m_ui->IDC_ENCODING->currentText().trimmed();
    options.inputEncoding = m_ui->IDC_INPUT_ENCODING->currentText().trimmed();
    // A .prj file is kept by its full path: the program's current folder changes as it runs.
    const QString target = m_ui->IDC_TARGET_CRS->text().trimmed();
    options.targetCrs = target.startsWith(QStringLiteral("EPSG:"), Qt::CaseInsensitive) || target.isEmpty()
                            ? target
                            : QFileInfo(target).absoluteFilePath();
}

QString COutputOptionsPane::Problem() const {
    const auto unknown = [](const QComboBox* box, const char* what) {
        const QString name = box->currentText().trimmed();
        return CodePageOfChoice(name) < 0 ? QStringLiteral("The %1 \"%2\" names no code page known here.")
                                                .arg(QLatin1String(what), name)
                                          : QString();
    };
    if (QString why = unknown(m_ui->IDC_ENCODING, "output code page"); !why.isEmpty())
        return why;
    if (QString why = unknown(m_ui->IDC_INPUT_ENCODING, "inputs' code page"); !why.isEmpty())
        return why;
    return TargetCrsProblem(m_ui->IDC_TARGET_CRS->text());
}

void COutputOptionsPane::UpdateProblem() {
    const QString problem = Problem();
    m_ui->IDC_OUTPUT_PROBLEM->setText(problem);
    m_ui->IDC_OUTPUT_PROBLEM->setVisible(!problem.isEmpty());
    emit Changed();
}

void COutputOptionsPane::OnSearch(const QString& text) {
    QListWidget* results = m_ui->IDC_CRS_RESULTS;
    results->clear();
    for (const SEpsgMatch& match : SearchEpsgCatalogue(text, kListedMatches)) {
        auto* item = new QListWidgetItem(EpsgMatchText(match), results);
        item->setData(Qt::UserRole, match.code);
    }
    if (results->count() > 0)
        results->setCurrentRow(0);
}

void COutputOptionsPane::Pick(int row) {
    if (const QListWidgetItem* item = m_ui->IDC_CRS_RESULTS->item(row))
        m_ui->IDC_TARGET_CRS->setText(QStringLiteral("EPSG:%1").arg(item->data(Qt::UserRole).toInt()));
}

void COutputOptionsPane::OnBrowse() {
    const QString start = QFileInfo(m_ui->IDC_TARGET_CRS->text().trimmed()).absolutePath();
    const QString chosen =
        QFileDialog::getOpenFileName(this, QStringLiteral("Target Coordinate System"), start,
                                     QStringLiteral("Coordinate system (*.prj *.PRJ)"));
    if (!chosen.isEmpty())
        m_ui->IDC_TARGET_CRS->setText(chosen);
}

bool COutputOptionsPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->IDC_CRS_SEARCH && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        QListWidget* results = m_ui->IDC_CRS_RESULTS;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Pick(results->currentRow());
            return true;
        }
        // Up and Down walk the matches from the search box.
        if ((key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) && results->count() > 0) {
            const int step = key->key() == Qt::Key_Down ? 1 : -1;
            results->setCurrentRow(std::clamp(results->currentRow() + step, 0, results->count() - 1));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace fennick
