// The list's table model without a display: what it asks the background reader for, how answers and their
// generations land, the fit marks and the status line; and the fit itself, judged by the engine's check on
// layers GDAL writes.

#include "ui/FileFactsModel.h"
#include "ui/FactsReader.h"

#include "OgrLayer.h"

#include <ogr_spatialref.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace fennick;

namespace {

SLayerFacts Facts(const QString& path, int64_t records) {
    SLayerFacts facts;
    facts.path = path.toStdU16String();
    facts.shapeType = SHAPE_POLYGON;
    facts.records = records;
    facts.fields = 2;
    facts.coordSys = u"WGS 84";
    return facts;
}

// A row of the fit table: the other file's geometry (empty: no such file), the width of its NAME column and
// its system (the first file's: 20 and 4326), the options, and the fit with the words of its reason.
struct SFitRow {
    const char* geometry;
    int width, epsg;
    bool matchNames, reproject;
    EFileFit fit;
    const char* reason;
};

} // namespace

Q_DECLARE_METATYPE(SFitRow)

class FileFactsModelTest : public QObject {
    Q_OBJECT

private slots:
    // Facts are asked once per file and fits for every file but the first; a change of the first file or
    // of the options asks every fit again in a new generation and drops answers of the old one.
    void asksAndTakesAnswersByGeneration() {
        CFileFactsModel model;
        QSignalSpy facts(&model, &CFileFactsModel::FactsWanted);
        QSignalSpy fits(&model, &CFileFactsModel::FitWanted);
        const auto asked = [&] {
            QStringList paths;
            for (const QList<QVariant>& call : fits)
                paths << call[1].toString() + u'>' + call[2].toString();
            fits.clear();
            return paths;
        };
        for (const char* path : {"/d/a.shp", "/d/b.shp", "/d/c.tab"})
            model.Append(QLatin1String(path));
        QCOMPARE(facts.size(), 3);
        QCOMPARE(asked(), (QStringList{"/d/a.shp>/d/b.shp", "/d/a.shp>/d/c.tab"}));
        const uint64_t first = model.Generation();
        model.SetFit(first, QStringLiteral("/d/b.shp"), EFileFit::Fits, QString());
        model.SetFit(first, QStringLiteral("/d/c.tab"), EFileFit::Unfit,
                     QStringLiteral("Different shape types."));
        QCOMPARE(model.Fit(2), EFileFit::Unfit);
        QVERIFY(model.data(model.index(2, CFileFactsModel::kFolder), Qt::ToolTipRole)
                    .toString()
                    .endsWith(QStringLiteral("Different shape types.")));

        // Moving later files asks nothing; a new first file asks every fit again.
        model.SwapWithNext(1);
        QCOMPARE(asked(), QStringList());
        model.SwapWithNext(0);
        QCOMPARE(model.Paths(), (QStringList{"/d/c.tab", "/d/a.shp", "/d/b.shp"}));
        QCOMPARE(asked(), (QStringList{"/d/c.tab>/d/a.shp", "/d/c.tab>/d/b.shp"}));
        QCOMPARE(model.Fit(0), EFileFit::First);
        QCOMPARE(model.Fit(2), EFileFit::Unknown);
        model.SetFit(first, QStringLiteral("/d/b.shp"), EFileFit::Fits, QString());
        QCOMPARE(model.Fit(2), EFileFit::Unknown);

        SMergeOptions options;
        options.matchNames = true;
        model.SetOptions(options);
        QCOMPARE(asked(), (QStringList{"/d/c.tab>/d/a.shp", "/d/c.tab>/d/b.shp"}));
        QCOMPARE(facts.size(), 3);
    }

    // The cells, the counts grouped by the locale, and the line under the list.
    void showsFactsMarksAndStatus() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        CFileFactsModel model;
        model.Append(QStringLiteral("/d/a.shp"));
        QCOMPARE(model.data(model.index(0, CFileFactsModel::kShapeType), Qt::DisplayRole).toString(),
                 QStringLiteral("reading..."));
        QCOMPARE(model.StatusText(0), QStringLiteral("Reading the files..."));
        model.SetFacts(Facts(QStringLiteral("/d/a.shp"), 8000000));
        QCOMPARE(model.StatusText(0), QStringLiteral("Add one more file to merge."));
        const QStringList cells = [&] {
            QStringList texts;
            for (int c = 0; c < CFileFactsModel::kColumnCount; ++c)
                texts << model.data(model.index(0, c), Qt::DisplayRole).toString();
            return texts;
        }();
        QCOMPARE(cells, (QStringList{"a.shp", "polygon", "8,000,000", "2", "WGS 84", "not declared", "/d"}));

        model.Append(QStringLiteral("/d/b.shp"));
        model.Append(QStringLiteral("/d/c.shp"));
        model.SetFacts(Facts(QStringLiteral("/d/b.shp"), 1));
        model.SetFacts(Facts(QStringLiteral("/d/c.shp"), 1));
        QCOMPARE(model.StatusText(-1), QStringLiteral("Reading the files..."));
        const uint64_t generation = model.Generation();
        model.SetFit(generation, QStringLiteral("/d/b.shp"), EFileFit::Fits, QString());
        model.SetFit(generation, QStringLiteral("/d/c.shp"), EFileFit::Warns, QStringLiteral("differs"));
        QCOMPARE(model.StatusText(1),
                 QStringLiteral("1 file fits the first one with a note; select it to read it."));
        QCOMPARE(model.StatusText(2), QStringLiteral("c.shp: differs"));
        model.SetFit(generation, QStringLiteral("/d/c.shp"), EFileFit::Unfit, QStringLiteral("Different."));
        QCOMPARE(model.StatusText(0),
                 QStringLiteral("1 file does not fit the first one; select it to see why."));
        model.SetFit(generation, QStringLiteral("/d/c.shp"), EFileFit::Fits, QString());
        QCOMPARE(model.StatusText(0), QStringLiteral("All files fit the first one."));
        QLocale::setDefault(QLocale::system());
    }

    // The fit is the engine's check of the pair under the options: the first difference as the merge
    // reports it, or the check's note.
    void fitIsTheEnginesCheck_data() {
        QTest::addColumn<SFitRow>("row");
        const auto fits = EFileFit::Fits, warns = EFileFit::Warns, unfit = EFileFit::Unfit;
        QTest::newRow("same layout") << SFitRow{"POINT", 20, 4326, false, false, fits, ""};
        QTest::newRow("wider column")
            << SFitRow{"POINT", 30, 4326, false, false, unfit, "column definitions"};
        QTest::newRow("wider column, by name") << SFitRow{"POINT", 30, 4326, true, false, fits, ""};
        QTest::newRow("lines") << SFitRow{
            "LINESTRING", 20, 4326, true, false, unfit, "Different shape types."};
        QTest::newRow("other system")
            << SFitRow{"POINT", 20, 32633, false, false, warns, "merged unconverted"};
        QTest::newRow("converted") << SFitRow{"POINT", 20, 32633, false, true, warns, "are converted"};
        QTest::newRow("missing") << SFitRow{"", 20, 4326, false, false, unfit, "Can't open file."};
    }
    void fitIsTheEnginesCheck() {
        QFETCH(SFitRow, row);
        const QString geometry = row.geometry, reason = row.reason;
        QTemporaryDir dir;
        const auto write = [&](const QString& name, const QString& type, int nameWidth, int code) {
            test::WriteOgrLayer(
                dir.filePath(name + QStringLiteral(".shp")).toStdString(), type.toStdString(),
                {{"NAME", 'C', nameWidth, 0}},
                {{type == QStringLiteral("POINT") ? "POINT (1 1)" : "LINESTRING (0 0,1 1)", {"p"}}});
            OGRSpatialReference system;
            system.importFromEPSG(code);
            char* wkt = nullptr;
            const char* const format[] = {"FORMAT=WKT1_ESRI", nullptr};
            system.exportToWkt(&wkt, format);
            QFile prj(dir.filePath(name + QStringLiteral(".prj")));
            QVERIFY(prj.open(QIODevice::WriteOnly) && prj.write(wkt) > 0);
            CPLFree(wkt);
        };
        write(QStringLiteral("first"), QStringLiteral("POINT"), 20, 4326);
        if (!geometry.isEmpty())
            write(QStringLiteral("other"), geometry, row.width, row.epsg);
        SMergeOptions options;
        options.matchNames = row.matchNames;
        options.reproject = row.reproject;
        const SFitAnswer answer = CheckFit(dir.filePath(QStringLiteral("first.shp")),
                                           dir.filePath(QStringLiteral("other.shp")), options);
        QCOMPARE(answer.fit, row.fit);
        // The first difference as the merge reports it, the files named by their names.
        QVERIFY2(reason.isEmpty() ? answer.reason.isEmpty() : answer.reason.contains(reason),
                 qPrintable(answer.reason));
        QVERIFY2(!answer.reason.contains(dir.path()), qPrintable(answer.reason));
    }
};

QTEST_MAIN(FileFactsModelTest)
#include "FileFactsModelTest.moc"
