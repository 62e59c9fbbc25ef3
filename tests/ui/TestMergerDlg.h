#pragma once
// The main window for tests: the tree shows one folder as its only drive, and the file, folder and report
// dialogs, the message boxes, the about box and the menus are replaced through the window's seams.

#include "ui/FieldPlanView.h"
#include "ui/HListBox.h"
#include "ui/MergerDlg.h"
#include "ui/TreeFileCtrl.h"

#include <QFileInfo>
#include <QMenu>
#include <QTimer>

#include <functional>

namespace fennick {

class CRootedTree : public CTreeFileCtrl {
public:
    explicit CRootedTree(const QString& root) : m_root(root) {}

protected:
    std::vector<SDriveEntry> Drives() const override { return {{m_root, m_root, kDriveFixed}}; }

private:
    QString m_root;
};

struct SMessage {
    QString text;
    QMessageBox::Icon icon;
    QString reason;
};

class CTestMergerDlg : public CMergerDlg {
public:
    using CMergerDlg::EWarningAnswer;
    using CMergerDlg::FactsReader;
    explicit CTestMergerDlg(const QString& root) : CMergerDlg(new CRootedTree(root), nullptr) {}

    QString saveAnswer;            // what the save dialog returns; empty: cancelled
    QStringList saveStarts;        // the folder each save dialog started in
    std::function<void()> onSaved; // runs once the save dialog closed, from the event loop
    QList<SMessage> messages;
    int aboutRuns = 0;
    QStringList replaceQuestions; // the existing files the dialog asked to replace
    bool replaceAnswer = false;
    QStringList menuTexts;
    QStringList warningsShown; // the check's warnings the dialog asked about
    EWarningAnswer warningsAnswer = EWarningAnswer::Cancel;
    QStringList fixesOffered; // the fixes failures offered
    bool fixAnswer = false;
    bool realCloseBox = false;          // ask the closing question with the real message box
    bool closeAnswer = true;            // the answer when the real box is not used
    QList<int> closeQuestions;          // the file counts the closing question named
    QStringList listMenu;               // the list menu's commands as shown, disabled ones in brackets
    QString listChoice;                 // the list menu's answer: the command of that text
    QStringList openedFolders;          // the folders opened from the list menu and the success report
    QStringList recordsShown;           // the files whose records the list menu showed
    bool realBoxes = false;             // the messages recorded are shown in the real box too
    QString folderAnswer, reportAnswer; // what the folder and report dialogs return
    bool subfoldersAnswer = false;
    QList<SFieldPlanView> plans; // the field plans shown

    // The real dialogs behind the seams.
    QString RealSaveDialog(const QString& start) { return CMergerDlg::AskSaveFileName(start); }
    void RealMessageBox(const QString& text, QMessageBox::Icon icon, const QString& reason = QString()) {
        CMergerDlg::ShowMessageBox(text, icon, reason);
    }
    void RealSuccessReport(const QString& text, const QString& summary, const QString& path) {
        realBoxes = true;
        ReportSuccess(text, summary, path);
        realBoxes = false;
    }

protected:
    QString AskSaveFileName(const QString& startFolder) override {
        saveStarts << startFolder;
        if (onSaved)
            QTimer::singleShot(0, onSaved);
        return saveAnswer;
    }
    void ShowMessageBox(const QString& text, QMessageBox::Icon icon, const QString& reason) override {
        messages.append({text, icon, reason});
        if (realBoxes)
            CMergerDlg::ShowMessageBox(text, icon, reason);
    }
    EWarningAnswer ConfirmWarnings(const QStringList& warnings, bool) override {
        warningsShown << warnings;
        return warningsAnswer;
    }
    bool AskFix(const QString& text, const QString& reason, const QString& fix) override {
        messages.append({text, QMessageBox::Warning, reason});
        fixesOffered << fix;
        return fixAnswer;
    }
    bool ConfirmReplace(const QStringList& existing) override {
        replaceQuestions << existing;
        return replaceAnswer;
    }
    bool ConfirmClose(int count) override {
        closeQuestions << count;
        return realCloseBox ? CMergerDlg::ConfirmClose(count) : closeAnswer;
    }
    bool OpenFolder(const QString& folder) override {
        openedFolders << folder;
        return true;
    }
    void ShowRecords(const QString& path) override { recordsShown << QFileInfo(path).fileName(); }
    void RunAboutBox() override { ++aboutRuns; }
    bool AskFolder(QString& folder, bool& subfolders) override {
        folder = folderAnswer;
        subfolders = subfoldersAnswer;
        return true;
    }
    void ShowFieldPlan(const SFieldPlanView& view) override { plans << view; }
    QString AskReportFileName(const QString&) override { return reportAnswer; }
    QAction* ExecWindowMenu(QMenu& menu, const QPoint&) override {
        for (QAction* action : menu.actions())
            menuTexts << action->text();
        return menu.actions().value(0);
    }
    QAction* ExecListMenu(QMenu& menu, const QPoint&) override {
        listMenu.clear();
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            const QString text = action->text().section(u'\t', 0, 0);
            if (action->isSeparator())
                continue;
            listMenu << (action->isEnabled() ? text : u'(' + text + u')');
            if (text == listChoice)
                chosen = action;
        }
        return chosen;
    }
};

} // namespace fennick
