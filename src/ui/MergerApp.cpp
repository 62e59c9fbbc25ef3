#include "ui/MergerApp.h"

#include "ui/HListBox.h"
#include "ui/LayerChoice.h"
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
    dialog->RestoreLayout(QByteArray::fromBase64(
        QString::fromStdU16String(settings.ReadStringValue(kLayoutValue, false, false, u"")).toLatin1()));
    if (!m_startFiles.isEmpty()) {
        dialog->AddOutsideFiles(m_startFiles);
    } else if (dialog->m_options.restoreList) {
        // The last list, without the files that have gone since.
        const QString last =
            QString::fromStdU16String(settings.ReadStringValue(kLastListValue, false, false, u""));
        QStringList present;
        for (const QString& path : last.split(u'\n', Qt::SkipEmptyParts))
            if (IsLayerPath(path)) // a layer of a source too, SOURCE:LAYER
                present << path;
        dialog->AddOutsideFiles(present);
    }
    RunModal(*dialog);
    settings.WriteStringValue(dialog->m_sourceDir.toStdU16String(), kSourceDirValue, false);
    settings.WriteStringValue(dialog->m_outputDir.toStdU16String(), kOutputDirValue, false);
    dialog->m_options.Write(settings);
    settings.WriteStringValue(QString::fromLatin1(dialog->SaveLayout().toBase64()).toStdU16String(),
                              kLayoutValue, false);
    settings.WriteStringValue(
        (dialog->m_options.restoreList ? dialog->FileList()->Model()->Paths().join(u'\n') : QString())
            .toStdU16String(),
        kLastListValue, false);
    return false;
}

} // namespace fennick
