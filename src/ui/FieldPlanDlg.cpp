#include "ui/FieldPlanDlg.h"

#include "ui_FieldPlanDlg.h"

#include <QHeaderView>

namespace fennick {

CFieldPlanDlg::CFieldPlanDlg(const SFieldPlanView& view, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CFieldPlanDlg>()) {
    m_ui->setupUi(this);
    QTableWidget* table = m_ui->IDC_PLAN_FIELDS;
    if (!view.failure.isEmpty()) {
        m_ui->IDC_PLAN_SUMMARY->setText(QStringLiteral("The files cannot be merged:"));
        m_ui->IDC_PLAN_NOTES->setText(view.reason.isEmpty() ? view.failure
                                                            : view.failure + u'\n' + view.reason);
        table->hide();
        return;
    }
    m_ui->IDC_PLAN_SUMMARY->setText(QStringLiteral("%1, as the merge would write them. Output code page: %2.")
                                        .arg(view.rows.size() == 1
                                                 ? QStringLiteral("1 field")
                                                 : QStringLiteral("%1 fields").arg(view.rows.size()),
                                             view.codePage));
    const QStringList headers = FieldPlanHeaders();
    table->setColumnCount(static_cast<int>(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->setRowCount(static_cast<int>(view.rows.size()));
    for (int row = 0; row < view.rows.size(); ++row)
        for (int column = 0; column < view.rows[row].size(); ++column) {
            auto* item = new QTableWidgetItem(view.rows[row][column]);
            // The numbers line up on the right.
            if (column == 2 || column == 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            item->setToolTip(view.rows[row][column]);
            table->setItem(row, column, item);
        }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    m_ui->IDC_PLAN_NOTES->setText(view.warnings.join(u'\n'));
    m_ui->IDC_PLAN_NOTES->setVisible(!view.warnings.isEmpty());
}

CFieldPlanDlg::~CFieldPlanDlg() = default;

} // namespace fennick
