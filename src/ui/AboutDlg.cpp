#include "ui/AboutDlg.h"

#include "ui/FennickIcon.h"
#include "ui/FileVersionInfo.h"
#include "ui_AboutDlg.h"

namespace fennick {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()) {
    InitDialog(false, nullptr, 0);
}

CAboutDlg::CAboutDlg(const SVersionResource* resource, uint16_t userLanguage, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()) {
    InitDialog(true, resource, userLanguage);
}

CAboutDlg::~CAboutDlg() = default;

QString CAboutDlg::FormatVersion(const QString& fileVersion) {
    QString version = fileVersion;
    version.replace(u',', u'.');
    version.remove(u' ');
    return version;
}

void CAboutDlg::InitDialog(bool useResource, const SVersionResource* resource, uint16_t userLanguage) {
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    m_ui->IDR_MAINFRAME->setPixmap(FennickIcon().pixmap(32, 32));

    CFileVersionInfo info;
    const bool read =
        useResource ? info.ReadVersionResource(resource, userLanguage) : info.ReadModuleVersion();
    if (!read)
        return;
    const QString version = FormatVersion(info.GetFileVersion());
    setWindowTitle(QStringLiteral("About ") + info.GetProductName());
    m_ui->IDC_VERSION->setText(info.GetProductName() + u' ' + version);
    m_ui->IDC_COPYRIGHT->setText(info.GetLegalCopyright());
}

} // namespace fennick
