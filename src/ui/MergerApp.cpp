#include "ui/MergerApp.h"

#include "ui/MergerDlg.h"
#include "ui/OXRegistryItem.h"

#include <QDir>
#include <QFileInfo>

namespace fennick {

CMergerApp::CMergerApp(std::shared_ptr<CSettingsStore> store) : m_store(std::move(store)) {}

CMergerApp::~CMergerApp() = default;

std::unique_ptr<CMergerDlg> CMergerApp::CreateMainDialog() {
    return std::make_unique<CMergerDlg>();
}

int CMergerApp::RunModal(CMergerDlg& dialog) {
    return dialog.exec();
}

void CMergerApp::SetStartFiles(const QStringList& paths) {
    m_startFiles.clear();
    for (const QString& path : paths)
        m_startFiles << QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool CMergerApp::InitInstance() {
    std::unique_ptr<CMergerDlg> dialog = CreateMainDialog();
    COXRegistryItem settings(kSettingsKey, m_store);
    // Missing values give empty folders, replacing the dialog's own preset.
    dialog->m_sourceDir =
        QString::fromStdU16String(settings.ReadStringValue(kSourceDirValue, true, true, u""));
    dialog->m_outputDir =
        QString::fromStdU16String(settings.ReadStringValue(kOutputDirValue, true, true, u""));
    dialog->m_options = SMergeOptions::Read(settings);
    if (!m_startFiles.isEmpty())
        dialog->AddOutsideFiles(m_startFiles);
    RunModal(*dialog);
    settings.WriteStringValue(dialog->m_sourceDir.toStdU16String(), kSourceDirValue, false);
    settings.WriteStringValue(dialog->m_outputDir.toStdU16String(), kOutputDirValue, false);
    dialog->m_options.Write(settings);
    return false;
}

} // namespace fennick
