#pragma once
// CMergerDlg: the program's main window. The user browses folders in the file tree, collects files in the
// list with ">>" (or a double click), and merges them into one new shapefile: the dialog checks the inputs
// with the merge engine, asks for the output file, shows the progress window while the engine writes, and
// reports the outcome in a message box. The list is never changed by a merge.
//
// It keeps the two folder settings while it runs: m_sourceDir (the path the tree selects on opening and the
// folder of the last file picked) and m_outputDir (where the save dialog opens, the folder of the last
// output). Enter in the file list closes the dialog and stores the tree's selected path in m_sourceDir;
// Escape and the close box close it without. Enter on the mask box closes nothing, Enter in the path box
// only goes to the path, and Enter on files in the tree adds them. No button is ever pressed by Enter (none
// is the default), so a button clicked earlier is never pressed again by it. While the list holds files,
// closing asks first, so that one key does not throw the collected list away.
//
// The about box is on the window menu (a right click on the dialog), on F1, and on the "?" button.
//
// The list: several entries can be selected; Delete, Backspace and "Remove File" remove them, Move Up and
// Move Down (Alt+Up, Alt+Down) move them one place, and its context menu offers these with Remove All and
// Open Containing Folder. The first entry is marked, as the one whose fields, coordinate system and code
// page the output takes. Files picked or dropped together come in natural order (b1, b2, b10); files named
// on the command line (as a file manager's Open With names them) keep the order they were named in, as
// fennick-merge keeps it. Other files are refused with one message.
// Ctrl+Right or Insert adds the tree's marked files, Ctrl+M merges.
//
// While the merge runs, the progress window names the file being appended. A merge the user cancelled is
// reported as information, any other failure as a warning; a success reports the files and records merged
// and offers to open the output's folder or copy its path. m_outputDir follows only a successful merge.
//
// Under the list, a map draws every listed file in the colour its row shows, as the merge will place it;
// "Show Map" hides it (the choice is kept with the layout). The list's context menu shows a file's first
// records as the merge will write them.
//
// "Options..." edits m_options (SMergeOptions), which every check and merge uses. When the check warns
// (coordinate systems that differ), the warnings are shown before the output is asked for, and the merge
// goes on only when the user says so. "Fields..." shows the output's fields as the merge would write them
// under those options, before anything is written.
//
// A source that holds several layers (a GeoPackage, a File Geodatabase ...), however it comes, is added as
// the layers the user chooses from it, each listed as SOURCE:LAYER.
//
// "Add Folder..." adds the layers of a folder (with its subfolders' when asked), found as fennick-merge finds
// a folder's; a folder dropped on the list or named on the command line adds its layers the same way, with
// subfolders as last chosen. The merge's result box, success or failure, offers "Save Report...", which
// writes the JSON report fennick-merge --report writes.

#include "ui/MergeOptions.h"

#include <functional>

#include <QDialog>
#include <QMessageBox>
#include <QUrl>

#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QMenu;
class QSplitter;
class QTreeWidgetItem;

namespace Ui {
class CMergerDlg;
}

namespace fennick {

struct SLayerSource;
class CFactsReader;
class CHListBox;
class CMapModel;
class CMapPanel;
class CMergeReport;
struct SFieldPlanView;
class CTreeFileCtrl;
class CTreePathBar;

class CMergerDlg : public QDialog {
    Q_OBJECT

public:
    explicit CMergerDlg(QWidget* parent = nullptr);
    ~CMergerDlg() override;

    // The window menu's about command.
    static constexpr int kIdmAboutBox = 16;

    QString m_sourceDir;
    QString m_outputDir;
    SMergeOptions m_options;
    // While the save dialog of a merge is open: why a chosen output cannot be written (it would replace an
    // input), empty when it can.
    std::function<QString(const QString&)> m_refuseOutput;

    CTreeFileCtrl* Tree() const { return m_tree; }
    CMapPanel* Map() const { return m_map; }
    const CMapModel& MapModel() const { return *m_mapModel; }
    // Shows or hides the map, as "Show Map" does.
    void ShowMap(bool shown);
    bool IsMapShown() const;
    CHListBox* FileList() const;
    QComboBox* MaskBox() const;

    // The window's geometry and the splitter's position, for the settings; RestoreLayout ignores what it
    // cannot read.
    QByteArray SaveLayout() const;
    void RestoreLayout(const QByteArray& layout);

    // A window menu command: the about box for kIdmAboutBox (ignoring the low four bits); others do nothing.
    void OnSysCommand(int id);
    // The window menu, as the right click and the keyboard open it.
    void ShowWindowMenu(const QPoint& globalPos);

    // Closing with Enter: the tree's selected path becomes m_sourceDir. Asks first when files are listed.
    void accept() override;
    // Closing with Escape or the close box. Asks first when files are listed.
    void reject() override;
    // Runs the initialisation before the dialog is first shown.
    void setVisible(bool visible) override;

    // Adds files named on the command line: layers (IsLayerPath) in the order given; the others are named in
    // one warning, shown once the dialog is.
    void AddOutsideFiles(const QStringList& paths);

public slots:
    // ">>": adds the tree's marked files that are not listed yet and selects the last one added.
    void OnAddFiles();
    // A double click in the tree adds too, and remembers the folder.
    void OnTreeDoubleClick(QTreeWidgetItem* item);
    // Removes the selected entries and selects the one now at the first's place.
    void OnRemoveFile();
    void OnRemoveAllFiles();
    // Move the selected entries one place.
    void OnMoveUp();
    void OnMoveDown();
    void OnMaskChange();
    // Checks, asks for the output, merges and reports.
    void OnMerge();
    // Runs the options dialog; its choices replace m_options when it is closed with OK.
    void OnOptions();
    // Asks for a folder and adds its layers.
    void OnAddFolder();
    // Shows the field plan of the listed files.
    void OnShowFields();

public:
    // Asks where to save the last merge's report and writes it; a failure to write is shown.
    void SaveReport();

protected:
    // Uses tree in place of the dialog's own (the dialog takes ownership); for tests.
    CMergerDlg(CTreeFileCtrl* tree, QWidget* parent);

    // Seams replaced in tests. The save dialog: the chosen path, empty when cancelled. A name that
    // m_refuseOutput refuses is not accepted: its reason is shown and the dialog stays open.
    virtual QString AskSaveFileName(const QString& startFolder);
    // Asks, in one question, whether the existing files (the members of the chosen output's set the save
    // dialog did not ask about) may be replaced or removed with the output's whole set.
    virtual bool ConfirmReplace(const QStringList& existing);
    // A message box with an OK button; icon Information or Warning (the exclamation).
    // The message as the box's text and, when given, the reason under it as the informative text.
    virtual void ShowMessageBox(const QString& text, QMessageBox::Icon icon,
                                const QString& reason = QString());
    // Shows the check's warnings and asks whether to merge all the same (Merge), or, with offerConvert
    // (coordinates are not converted yet), whether to convert them or keep them; Cancel stops before the
    // output is asked for.
    enum class EWarningAnswer { Cancel, Merge, Convert };
    virtual EWarningAnswer ConfirmWarnings(const QStringList& warnings, bool offerConvert);
    // Shows a failure with a button offering the option that mends it; true when the user chose it.
    virtual bool AskFix(const QString& text, const QString& reason, const QString& fix);
    // Asks whether to close and forget the count files in the list; the default answer is No.
    virtual bool ConfirmClose(int count);
    // Reports a successful merge through ShowMessageBox: text as the message and summary (the counts) under
    // it; the default box adds buttons that open outputPath's folder (OpenFolder) or copy outputPath to the
    // clipboard.
    void ReportSuccess(const QString& text, const QString& summary, const QString& outputPath);
    // Opens folder in the desktop's file manager; false when no program could be started for it.
    virtual bool OpenFolder(const QString& folder);
    // Runs the about box modally.
    virtual void RunAboutBox();
    // Opens the window of the file's first records.
    virtual void ShowRecords(const QString& path);
    // Shows menu and returns the chosen action (null for none).
    virtual QAction* ExecWindowMenu(QMenu& menu, const QPoint& globalPos);
    // Shows the list's context menu and returns the chosen action (null for none).
    virtual QAction* ExecListMenu(QMenu& menu, const QPoint& globalPos);
    // The Add Folder dialog: false when cancelled, else the folder and whether subfolders count.
    virtual bool AskFolder(QString& folder, bool& includeSubfolders);
    // Asks which layers of the sources to add, a row of flags per source; false when cancelled.
    virtual bool ChooseLayers(const std::vector<SLayerSource>& sources,
                              std::vector<std::vector<bool>>& chosen);
    // Shows the field plan in its dialog.
    virtual void ShowFieldPlan(const SFieldPlanView& view);
    // The report's save dialog, starting at suggested: the chosen path, empty when cancelled.
    virtual QString AskReportFileName(const QString& suggested);

    // The background reader of the list's facts; for tests.
    CFactsReader& FactsReader() const { return *m_reader; }

    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Setup(CTreeFileCtrl* tree);
    void InitDialog();
    // True when path is already listed: the same text, or a differently cased name of the same file.
    bool IsListed(const QString& path) const;
    void RememberSourceFolder();

    // What a failed merge offers the user to mend it, when chosen.
    enum class EMergeFix { None, MatchNames, Convert, SkipBadRecords };
    // One check and merge under options into path (asked for when empty, and set); warningsConfirmed is set
    // once the check's warnings were accepted. Returns the fix the user chose after a failure.
    EMergeFix RunMerge(const SMergeOptions& options, QString& path, bool& warningsConfirmed);
    // Selects the listed file a failure message names.
    void SelectFailingFile(const QString& message);
    // The skipped records named in the success message; the rest go into its details.
    static constexpr int kSkippedShown = 5;

    // The list's keys, menu, drops and order buttons.
    void SetupList();
    // Appends the paths not listed yet (in natural order unless keepOrder), a source of several layers as the
    // layers chosen from it, and selects the last one added.
    void AddPaths(QStringList paths, bool keepOrder = false);
    // Appends a folder's layers; why none were added, empty when some were.
    QString AddFolderLayers(const QString& folder, bool includeSubfolders);
    // Adds the layer files among the absolute paths and names the others, with refused, in one warning.
    void AddLayersRefusingOthers(const QStringList& paths, QStringList refused, bool keepOrder);
    void ShowListMenu(const QPoint& viewportPos);
    void UpdateListCommands();
    // The line under the list: the current file's fit, or how the files fit as a whole.
    void UpdateStatusLine();
    // The options line, and the fits judged under the options.
    void UpdateOptionsLine();
    void OnUrlsDropped(const QList<QUrl>& urls);
    // True when the dialog may close: the list is empty or the user agreed to forget it.
    bool MayClose();
    // The list's paths, in order.
    QStringList ListedFiles() const;
    // The default message box for a successful merge's report, with the output's buttons.
    void ShowSuccessBox(const QString& text, const QString& summary, const QString& outputPath);
    // Opens folder through OpenFolder and says so when that fails.
    void ShowFolder(const QString& folder);

    // The tree pane: the path box, Home and Refresh above the tree, and the splitter beside it.
    void SetupTreePane();
    // The map under the list, its model fed by the list and the options, its reads on the list's reader.
    void SetupMap();

    std::unique_ptr<Ui::CMergerDlg> m_ui;
    CTreeFileCtrl* m_tree = nullptr;
    std::unique_ptr<CTreePathBar> m_pathBar;
    bool m_initialised = false;
    QString m_successOutput;  // while ReportSuccess runs: the output the report is about
    QString m_successDetails; // while ReportSuccess runs: every skipped record, when there are many
    // The map's layers; it outlives the reader, which runs its reads.
    std::unique_ptr<CMapModel> m_mapModel;
    CMapPanel* m_map = nullptr;
    QSplitter* m_mapSplitter = nullptr;
    QCheckBox* m_showMap = nullptr;
    // Reads the listed files' facts in the background; ends before the list's model goes.
    std::unique_ptr<CFactsReader> m_reader;
    std::unique_ptr<CMergeReport> m_report;
    bool m_offerReport = false; // while the merge's result box is shown
};

// The caption of the program's message boxes: the program file's name without its extension.
QString ApplicationName();

// The summary under a successful merge's message: "2 files, 7 records merged into /data/out.shp".
QString MergeSummaryText(int files, int64_t records, const QString& outputPath);

// Sorts paths in natural order (b1, b2, b10), letter case ignored; equal names keep their order.
void SortNaturally(QStringList& paths);

} // namespace fennick
