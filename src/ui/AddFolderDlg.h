#pragma once
// CAddFolderDlg: asks which folder "Add Folder..." adds the layers of, and whether its subfolders' layers
// come too. OK is available while the text names an existing folder.

#include <QDialog>

#include <memory>

namespace Ui {
class CAddFolderDlg;
}

namespace fennick {

class CAddFolderDlg : public QDialog {
    Q_OBJECT

public:
    CAddFolderDlg(const QString& folder, bool includeSubfolders, QWidget* parent = nullptr);
    ~CAddFolderDlg() override;

    QString Folder() const;
    bool IncludeSubfolders() const;

private:
    void OnBrowse();
    void UpdateControls();

    std::unique_ptr<Ui::CAddFolderDlg> m_ui;
};

} // namespace fennick
