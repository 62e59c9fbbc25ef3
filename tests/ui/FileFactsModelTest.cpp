// The list's table model without a display: what it asks the background reader for, how answers and their
// generations land, the fit marks and the status line; and the fit itself, judged by the engine's check on
// layers GDAL writes.

#include "ui/FileFactsModel.h"
#include "ui/FactsReader.h"

#include "OgrLayer.h"

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

} // namespace

class FileFactsModelTest : public QObject {
    Q_OBJECT

private slots:
    // Facts are asked once per file and fits for every file but the first; a change of the first file or
    // of the options asks every fit again in a new generation and drops answers of the old one.
    void asksAndTakesAnswersByGeneration() {
        CFileFactsModel model;
        model.SetFirstRowNote(QStringLiteral("sets the output"));
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
        QCOMPARE(model.Fit(0), EFileFit::First);
        const uint64_t first = model.Generation();
        model.SetFit(first, QStringLiteral("/d/b.shp"), EFileFit::Fits, QString());
        model.SetFit(first, QStringLiteral("/d/c.tab"), EFileFit::Unfit,
                     QStringLiteral("Different shape types."));
        QCOMPARE(model.Fit(2), EFileFit::Unfit);
        QVERIFY(model.data(model.index(2, CFileFactsModel::kFolder), Qt::ToolTipRole)
                    .toString()
                    .endsWith(QStringLiteral("Different shape types.")));
        QVERIFY(model.data(model.index(0, 0), Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("sets the output")));

        // Moving later files or removing one asks nothing; a new first file asks every fit again.
        model.SwapWithNext(1);
        QCOMPARE(asked(), QStringList());
        model.SwapWithNext(0);
        QCOMPARE(model.Paths(), (QStringList{"/d/c.tab", "/d/a.shp", "/d/b.shp"}));
        QCOMPARE(asked(), (QStringList{"/d/c.tab>/d/a.shp", "/d/c.tab>/d/b.shp"}));
        QCOMPARE(model.Fit(0), EFileFit::First);
        QCOMPARE(model.Fit(2), EFileFit::Unknown);
        model.SetFit(first, QStringLiteral("/d/b.shp"), EFileFit::Fits, QString());
        QCOMPARE(model.Fit(2), EFileFit::Unknown);
        model.Remove(1);
        QCOMPARE(asked(), QStringList());

        SMergeOptions options;
        model.SetOptions(options);
        QCOMPARE(asked(), QStringList());
        options.matchNames = true;
        model.SetOptions(options);
        QCOMPARE(asked(), QStringList{"/d/c.tab>/d/b.shp"});
        QCOMPARE(facts.size(), 3);
    }

    // The cells, the counts grouped by the locale, and the line under the list.
    void showsFactsMarksAndStatus() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        CFileFactsModel model;
        QCOMPARE(model.StatusText(-1), QString());
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
        QCOMPARE(model.data(model.index(2, 3), CFileFactsModel::kFitRole).toInt(), int(EFileFit::Unfit));
        model.SetFit(generation, QStringLiteral("/d/c.shp"), EFileFit::Fits, QString());
        QCOMPARE(model.StatusText(0), QStringLiteral("All files fit the first one."));
        QLocale::setDefault(QLocale::system());
    }

    // The fit is the engine's check of the pair under the options: the first difference as the merge
    // reports it, or the check's note.
    void fitIsTheEnginesCheck_data() {
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("matchNames");
        QTest::addColumn<bool>("reproject");
        QTest::addColumn<int>("fit");
        QTest::addColumn<QString>("reason");
        const int fits = int(EFileFit::Fits), warns = int(EFileFit::Warns), unfit = int(EFileFit::Unfit);
        QTest::newRow("same layout") << "same.shp" << false << false << fits << "";
        QTest::newRow("wider column")
            << "wide.shp" << false << false << unfit << "Different column definitions.";
        QTest::newRow("wider column, by name") << "wide.shp" << true << false << fits << "";
        QTest::newRow("lines") << "lines.shp" << true << false << unfit << "Different shape types.";
        QTest::newRow("other system") << "utm.shp" << false << false << warns << "merged unconverted";
        QTest::newRow("other system, converted") << "utm.shp" << false << true << warns << "are converted";
        QTest::newRow("missing") << "none.shp" << false << false << unfit << "Can't open file.";
    }
    void fitIsTheEnginesCheck() {
        QFETCH(QString, other);
        QFETCH(bool, matchNames);
        QFETCH(bool, reproject);
        QFETCH(int, fit);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const auto path = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
        const std::vector<test::SOgrField> narrow = {{"NAME", 'C', 20, 0}, {"POP", 'N', 9, 0}};
        const std::vector<test::SOgrField> wide = {{"NAME", 'C', 30, 0}, {"POP", 'N', 9, 0}};
        const std::vector<test::SOgrFeature> points = {{"POINT (1 1)", {"p", "1"}}};
        for (const char* name : {"first.shp", "same.shp", "utm.shp"})
            test::WriteOgrLayer(path(name).toStdString(), "POINT", narrow, points);
        test::WriteOgrLayer(path("wide.shp").toStdString(), "POINT", wide, points);
        test::WriteOgrLayer(path("lines.shp").toStdString(), "LINESTRING", narrow,
                            {{"LINESTRING (0 0,1 1)", {"l", "1"}}});
        QFile prj(path("utm.prj"));
        QVERIFY(prj.open(QIODevice::WriteOnly));
        prj.write(
            "PROJCS[\"WGS_1984_UTM_Zone_33N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_"
            "1984\",6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],"
            "PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_"
            "Northing\",0.0],PARAMETER[\"Central_Meridian\",15.0],PARAMETER[\"Scale_Factor\",0.9996],"
            "PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]");
        prj.close();
        QFile::copy(path("utm.prj"), path("first.prj"));
        prj.setFileName(path("first.prj"));
        // The first file states WGS 84, the other UTM 33N.
        QVERIFY(prj.open(QIODevice::WriteOnly));
        prj.write(
            "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
            "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
        prj.close();
        for (const char* name : {"same.prj", "wide.prj", "lines.prj"})
            QVERIFY(QFile::copy(path("first.prj"), path(name)));
        SMergeOptions options;
        options.matchNames = matchNames;
        options.reproject = reproject;
        const SFitAnswer answer = CheckFit(path("first.shp"), dir.filePath(other), options);
        QCOMPARE(int(answer.fit), fit);
        QVERIFY2(reason.isEmpty() ? answer.reason.isEmpty() : answer.reason.contains(reason),
                 qPrintable(answer.reason));
        // The files are named by their names; the row shows the folder.
        QVERIFY2(!answer.reason.contains(dir.path()), qPrintable(answer.reason));
    }
};

QTEST_MAIN(FileFactsModelTest)
#include "FileFactsModelTest.moc"
