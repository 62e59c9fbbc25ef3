#include "ui/ItemPropertiesDialog.h"

#include "ui_ItemPropertiesDialog.h"

#include <QDateTime>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLocale>

namespace fennick {

SItemProperties CItemPropertiesDialog::Describe(const QString& path) {
    const QFileInfo info(path);
    SItemProperties properties;
    properties.fullPath = path;
    properties.name = info.fileName().isEmpty() ? path : info.fileName();
    if (!info.exists()) {
        properties.kind = QStringLiteral("Not found");
        return properties;
    }
    properties.kind = QFileIconProvider().type(info);
    if (info.isFile()) {
        const QLocale locale = QLocale::system();
        properties.size = QStringLiteral("%1 (%2 bytes)")
                              .arg(locale.formattedDataSize(info.size()), locale.toString(info.size()));
    }
    properties.modified = info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return properties;
}

CItemPropertiesDialog::CItemPropertiesDialog(const QString& path, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CItemPropertiesDialog>()) {
    m_ui->setupUi(this);
    const SItemProperties properties = Describe(path);
    setWindowTitle(properties.name + QStringLiteral(" Properties"));
    m_ui->IDC_NAME->setText(properties.name);
    m_ui->IDC_PATH->setText(properties.fullPath);
    m_ui->IDC_KIND->setText(properties.kind);
    m_ui->IDC_SIZE->setText(properties.size);
    m_ui->IDC_MODIFIED->setText(properties.modified);
}

CItemPropertiesDialog::~CItemPropertiesDialog() = default;

} // namespace fennick
