#include "ui/AddFolderDlg.h"

#include "ui_AddFolderDlg.h"

#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QPushButton>

namespace fennick {

CAddFolderDlg::CAddFolderDlg(const QString& folder, bool includeSubfolders, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CAddFolderDlg>()) {
    m_ui->setupUi(this);
    m_ui->IDC_FOLDER->setText(folder);
    m_ui->IDC_SUBFOLDERS->setChecked(includeSubfolders);
    // Folder names complete as they are typed.
    auto* folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders->setRootPath(QString());
    m_ui->IDC_FOLDER->setCompleter(new QCompleter(folders, this));
    connect(m_ui->IDC_FOLDER, &QLineEdit::textChanged, this, &CAddFolderDlg::UpdateControls);
    connect(m_ui->IDC_BROWSE, &QPushButton::clicked, this, &CAddFolderDlg::OnBrowse);
    UpdateControls();
}

CAddFolderDlg::~CAddFolderDlg() = default;

QString CAddFolderDlg::Folder() const {
    return QDir::cleanPath(QFileInfo(m_ui->IDC_FOLDER->text().trimmed()).absoluteFilePath());
}

bool CAddFolderDlg::IncludeSubfolders() const {
    return m_ui->IDC_SUBFOLDERS->isChecked();
}

void CAddFolderDlg::OnBrowse() {
    const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Add Folder"),
                                                             m_ui->IDC_FOLDER->text().trimmed());
    if (!chosen.isEmpty())
        m_ui->IDC_FOLDER->setText(chosen);
}

void CAddFolderDlg::UpdateControls() {
    const QString text = m_ui->IDC_FOLDER->text().trimmed();
    m_ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(!text.isEmpty() && QFileInfo(text).isDir());
}

} // namespace fennick
