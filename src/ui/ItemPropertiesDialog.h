#pragma once
// CItemPropertiesDialog: the file tree's Properties command. Shows the name, full path, kind, size and
// modification time of a file, folder or drive.

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class CItemPropertiesDialog;
}

namespace fennick {

// What the dialog shows for a path.
struct SItemProperties {
    QString name;
    QString fullPath;
    QString kind;
    QString size;     // empty for folders and drives
    QString modified; // empty when the path cannot be read
};

class CItemPropertiesDialog : public QDialog {
    Q_OBJECT

public:
    CItemPropertiesDialog(const QString& path, QWidget* parent);
    ~CItemPropertiesDialog() override;

    static SItemProperties Describe(const QString& path);

private:
    std::unique_ptr<Ui::CItemPropertiesDialog> m_ui;
};

} // namespace fennick
