#include "ui/MergeOptionsDlg.h"

#include "ui/OutputOptionsPane.h"
#include "ui_MergeOptionsDlg.h"

#include <QPushButton>

namespace fennick {

CMergeOptionsDlg::CMergeOptionsDlg(const SMergeOptions& options, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CMergeOptionsDlg>()), m_options(options) {
    m_ui->setupUi(this);
    m_ui->IDC_MATCH_NAMES->setChecked(options.matchNames);
    m_ui->IDC_ADD_SOURCE_FIELD->setChecked(options.addSourceField);
    m_ui->IDC_SOURCE_FIELD->setText(options.sourceField);
    m_ui->IDC_REPROJECT->setChecked(options.reproject);
    m_ui->IDC_SKIP_BAD_RECORDS->setChecked(options.skipBadRecords);
    m_ui->IDC_KEEP_SKIP->setChecked(options.keepSkipBadRecords);
    m_ui->IDC_RESTORE_LIST->setChecked(options.restoreList);
    connect(m_ui->IDC_SKIP_BAD_RECORDS, &QCheckBox::toggled, this, &CMergeOptionsDlg::UpdateControls);
    connect(m_ui->IDC_ADD_SOURCE_FIELD, &QCheckBox::toggled, this, &CMergeOptionsDlg::UpdateControls);
    connect(m_ui->IDC_SOURCE_FIELD, &QLineEdit::textChanged, this, &CMergeOptionsDlg::UpdateControls);
    // The output's code pages and system sit above the buttons.
    m_output = new COutputOptionsPane(this);
    m_ui->optionsLayout->insertWidget(m_ui->optionsLayout->indexOf(m_ui->buttonBox), m_output);
    m_output->SetChoices(options);
    connect(m_output, &COutputOptionsPane::Changed, this, &CMergeOptionsDlg::UpdateControls);
    UpdateControls();
}

CMergeOptionsDlg::~CMergeOptionsDlg() = default;

SMergeOptions CMergeOptionsDlg::Options() const {
    SMergeOptions options = m_options;
    options.matchNames = m_ui->IDC_MATCH_NAMES->isChecked();
    options.addSourceField = m_ui->IDC_ADD_SOURCE_FIELD->isChecked();
    options.sourceField = m_ui->IDC_SOURCE_FIELD->text().trimmed();
    options.reproject = m_ui->IDC_REPROJECT->isChecked();
    options.skipBadRecords = m_ui->IDC_SKIP_BAD_RECORDS->isChecked();
    m_output->TakeChoices(options);
    options.keepSkipBadRecords = m_ui->IDC_KEEP_SKIP->isChecked();
    options.restoreList = m_ui->IDC_RESTORE_LIST->isChecked();
    return options;
}

void CMergeOptionsDlg::UpdateControls() {
    const bool withField = m_ui->IDC_ADD_SOURCE_FIELD->isChecked();
    m_ui->IDC_SOURCE_FIELD->setEnabled(withField);
    m_ui->IDC_KEEP_SKIP->setEnabled(m_ui->IDC_SKIP_BAD_RECORDS->isChecked());
    m_ui->buttonBox->button(QDialogButtonBox::Ok)
        ->setEnabled((!withField || !m_ui->IDC_SOURCE_FIELD->text().trimmed().isEmpty()) &&
                     (!m_output || m_output->Problem().isEmpty()));
}

} // namespace fennick
