// Renders the main window as it opens, with a list ready to merge and with the success report, the map of
// tiling layers with one in another coordinate system (kept and converted), the about box, the file tree and
// the progress dialog into PNG files, for checking their look under a real X server (scripts/screenshots.sh
// runs this under Xvfb). Usage: fennick_screenshots <output folder> [folder of sample layers [a layer in
// another coordinate system]]

#include "ui/AboutDlg.h"
#include "ui/BuildProgress.h"
#include "ui/FennickIcon.h"
#include "ui/FileTreeRules.h"
#include "ui/HListBox.h"
#include "ui/MapModel.h"
#include "ui/MapPanel.h"
#include "ui/MergerDlg.h"
#include "ui/TreeFileCtrl.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

using namespace fennick;

namespace {

void Touch(const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("x");
}

void Settle() {
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

bool Save(QWidget* widget, const QString& path) {
    Settle();
    const QPixmap shot = widget->grab();
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

// Lets the list read its facts and the map draw its layers (at most ten seconds).
void WaitForList(const CMergerDlg& dialog) {
    QElapsedTimer clock;
    clock.start();
    const CMapModel& map = dialog.MapModel();
    while (clock.elapsed() < 10000 &&
           !(map.IsDrawn() && !map.View().IsEmpty() && !dialog.FileList()->Model()->IsPending()))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The main window as the merge command drives it: the save dialog answers with a file in a scratch folder.
class CScreenshotMergerDlg : public CMergerDlg {
public:
    QString output;

protected:
    QString AskSaveFileName(const QString&) override { return output; }
};

// Grabs the first message box that opens into path, then closes it.
void ShootNextMessageBox(const QString& path, bool& ok) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, path, &ok] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        ok = Save(box, path) && ok;
        box->done(QMessageBox::Ok);
        timer->deleteLater();
    });
    timer->start(50);
}

// The main window over a copy of the sample layers: as it opens at the remembered folder, with the layers
// added to the list (the first one marked), and the success report of their merge.
bool ShootMainWindow(const QString& samples, const QString& folder, const QString& outDir) {
    QDir().mkpath(folder);
    QStringList names;
    for (const QFileInfo& file : QDir(samples).entryInfoList(QDir::Files, QDir::Name)) {
        QFile::copy(file.filePath(), folder + u'/' + file.fileName());
        if (file.suffix() == QLatin1String("shp") || file.suffix() == QLatin1String("tab"))
            names << file.fileName();
    }
    CScreenshotMergerDlg dialog;
    dialog.m_sourceDir = folder;
    dialog.resize(1000, 600);
    dialog.show();
    bool ok = Save(&dialog, outDir + QStringLiteral("/startup.png"));

    CTreeFileCtrl* tree = dialog.Tree();
    QTreeWidgetItem* parent = tree->SelectPath(folder, true);
    bool first = true;
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        QTreeWidgetItem* item = parent->child(i);
        if (names.contains(tree->ItemRecord(item)->name)) {
            tree->ApplyClick(item, {false, !first});
            first = false;
        }
    }
    dialog.OnAddFiles();
    tree->scrollToItem(parent, QAbstractItemView::PositionAtTop);
    // The facts and marks fill in from the background; the first file that does not fit is selected, so
    // that the line under the list says why.
    CFileFactsModel* model = dialog.FileList()->Model();
    QElapsedTimer waited;
    waited.start();
    while (model->IsPending() && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    for (int i = 0; i < model->rowCount(); ++i)
        if (model->Fit(i) == EFileFit::Unfit) {
            dialog.FileList()->SetCurSel(i);
            break;
        }
    dialog.FileList()->setFocus();
    WaitForList(dialog);
    ok = Save(&dialog, outDir + QStringLiteral("/main.png")) && ok;
    // The merge takes the files that fit.
    for (int i = model->rowCount() - 1; i >= 0; --i)
        if (model->Fit(i) == EFileFit::Unfit)
            dialog.FileList()->DeleteString(i);

    const QString outFolder = folder + QStringLiteral(" merged");
    QDir().mkpath(outFolder);
    dialog.output = outFolder + QStringLiteral("/all regions.shp");
    ShootNextMessageBox(outDir + QStringLiteral("/success.png"), ok);
    dialog.OnMerge();
    return QFile::exists(dialog.output) && ok;
}

// The main window listing the layers, their map drawn whole, with coordinates kept or converted; the other
// system's layer is selected, so that its row's mark and its shapes stand out.
bool ShootMap(const QStringList& layers, bool convert, const QString& path) {
    CMergerDlg dialog;
    dialog.m_sourceDir = QFileInfo(layers.front()).absolutePath();
    dialog.m_options.reproject = convert;
    dialog.resize(980, 680);
    dialog.AddOutsideFiles(layers);
    dialog.show();
    WaitForList(dialog);
    dialog.FileList()->SetCurSel(dialog.FileList()->GetCount() - 1);
    Settle();
    return Save(&dialog, path);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(FennickIcon());
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [sample layers]\n", argv[0]);
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    QTemporaryDir temp;
    const QString data = temp.path() + QStringLiteral("/GIS data");
    for (const char* folder : {"archive", "Zeta", "empty"})
        QDir().mkpath(data + u'/' + QLatin1String(folder));
    Touch(data + QStringLiteral("/archive/old_roads.shp"));
    for (const char* file :
         {"roads.shp", "Rivers.SHP", "parcels.shp", "buildings.shp", "notes.txt", ".hidden.shp"})
        Touch(data + u'/' + QLatin1String(file));

    bool ok = true;
    if (argc > 2)
        ok = ShootMainWindow(QString::fromLocal8Bit(argv[2]), temp.path() + QStringLiteral("/Sample layers"),
                             outDir);
    if (argc > 3) {
        // The layers in a scratch folder of their own, the other system's one beside them.
        const QString folder = temp.path() + QStringLiteral("/Tiling layers");
        QDir().mkpath(folder);
        const QFileInfo other(QString::fromLocal8Bit(argv[3]));
        for (const QFileInfo& file : QDir(other.absolutePath()).entryInfoList(QDir::Files))
            if (file.completeBaseName() == other.completeBaseName())
                QFile::copy(file.filePath(), folder + u'/' + file.fileName());
        for (const QFileInfo& file : QDir(QString::fromLocal8Bit(argv[2])).entryInfoList(QDir::Files))
            QFile::copy(file.filePath(), folder + u'/' + file.fileName());
        QStringList layers;
        for (const char* name : {"north.shp", "centre.shp", "south.shp"})
            layers << folder + u'/' + QLatin1String(name);
        layers << folder + u'/' + other.fileName();
        ok = ShootMap(layers, false, outDir + QStringLiteral("/map-kept.png")) && ok;
        ok = ShootMap(layers, true, outDir + QStringLiteral("/map-converted.png")) && ok;
    }
    {
        CAboutDlg about;
        about.show();
        ok = Save(&about, outDir + QStringLiteral("/about.png")) && ok;
    }

    QDialog window;
    window.setWindowTitle(QStringLiteral("Fennick"));
    auto* layout = new QVBoxLayout(&window);
    auto* tree = new CTreeFileCtrl(&window);
    tree->setObjectName(QStringLiteral("IDC_TREE"));
    layout->addWidget(tree);
    window.resize(380, 520);
    tree->ShowComputerNode(false);
    tree->ShowNetworkNode(false);
    tree->EnableOpenCommand(false);
    tree->UseSystemImageList();
    tree->SetMask(LayerMaskChoices().front().mask);
    window.show();
    tree->SelectPath(data, true);
    if (QTreeWidgetItem* folder = tree->currentItem()) {
        // Mark two files as a user would with click and Ctrl+click.
        QTreeWidgetItem* first = nullptr;
        QTreeWidgetItem* third = nullptr;
        int files = 0;
        for (int i = 0; i < folder->childCount(); ++i) {
            if (tree->ItemRecord(folder->child(i))->fileFlag) {
                ++files;
                if (files == 1)
                    first = folder->child(i);
                if (files == 3)
                    third = folder->child(i);
            }
        }
        tree->ApplyClick(first, {});
        tree->ApplyClick(third, {false, true});
    }
    tree->scrollToItem(tree->currentItem() ? tree->currentItem()->parent() : nullptr,
                       QAbstractItemView::PositionAtTop);
    tree->setFocus();
    ok = Save(&window, outDir + QStringLiteral("/tree.png")) && ok;

    QDialog owner;
    owner.resize(300, 200);
    owner.show();
    CBuildProgress progress(104);
    progress.CreateModeless(&owner);
    progress.SetBarRange(0, 3);
    progress.SetBarStep(1);
    progress.SetBarPosition(0);
    progress.SetFiles({data + QStringLiteral("/roads.shp"), data + QStringLiteral("/Rivers.SHP"),
                       data + QStringLiteral("/parcels.shp")});
    progress.Step();
    ok = Save(&progress, outDir + QStringLiteral("/progress.png")) && ok;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QPixmap desktop = screen->grabWindow(0);
        ok = desktop.save(outDir + QStringLiteral("/screen.png")) && ok;
    }
    progress.DestroyWindow();
    return ok ? 0 : 1;
}
