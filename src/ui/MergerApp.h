#pragma once
// CMergerApp: the program's start and end. It restores the two folder settings and the merge options, runs
// the main dialog modally, and stores them again however the dialog was closed. Settings that cannot be read
// give empty folders, and settings that cannot be written are left as they were; neither is reported.
// Files named at the start (the command line, "Open With" in a file manager) are in the list when the dialog
// shows; without them, the last run's list is, when the options say so. The window's size and the
// splitter's position are restored too.

#include <QStringList>

#include <memory>

namespace fennick {

class CMergerDlg;
class CSettingsStore;

class CMergerApp {
public:
    // store null: the current user's settings file.
    explicit CMergerApp(std::shared_ptr<CSettingsStore> store = nullptr);
    virtual ~CMergerApp();

    // Runs the program; always false, so the process ends once the dialog is closed.
    bool InitInstance();
    // The files to list at the start; relative paths are taken from the current folder now.
    void SetStartFiles(const QStringList& paths);

    // The settings key and its values.
    static constexpr const char16_t* kSettingsKey = u"\\Software\\Orlenta\\Fennick\\";
    static constexpr const char16_t* kSourceDirValue = u"SourceDir";
    static constexpr const char16_t* kOutputDirValue = u"OutputDir";
    static constexpr const char16_t* kLayoutValue = u"WindowLayout";
    static constexpr const char16_t* kLastListValue = u"LastList";

protected:
    // Seams for tests: the main dialog, and how it is run.
    virtual std::unique_ptr<CMergerDlg> CreateMainDialog();
    virtual int RunModal(CMergerDlg& dialog);

private:
    std::shared_ptr<CSettingsStore> m_store;
    QStringList m_startFiles;
};

} // namespace fennick
