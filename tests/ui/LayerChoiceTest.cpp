// Which entries the paths being added yield, over GeoPackages and a File Geodatabase that GDAL's Python
// bindings write, and what the chooser is asked about.

#include "ui/LayerChoice.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace fennick;

namespace {

// Two sources of two layers, one of one layer, a file GDAL cannot read and a shapefile never opened.
constexpr const char* kFixtures = R"(
import sys
from osgeo import ogr
def source(name, driver, *layers):
    ds = ogr.GetDriverByName(driver).CreateDataSource(sys.argv[1] + '/' + name)
    for layer, kind, wkts in layers:
        layer = ds.CreateLayer(layer, geom_type=kind)
        for wkt in wkts:
            feature = ogr.Feature(layer.GetLayerDefn()); feature.SetGeometry(ogr.CreateGeometryFromWkt(wkt))
            layer.CreateFeature(feature)
source('two.gpkg', 'GPKG', ('roads', ogr.wkbLineString, ['LINESTRING (0 0,1 1)'] * 2),
       ('rails', ogr.wkbMultiLineString, ['MULTILINESTRING ((0 0,1 1))']))
source('one.gpkg', 'GPKG', ('only', ogr.wkbPoint, ['POINT (1 1)']))
source('parks.gdb', 'OpenFileGDB', ('a', ogr.wkbPolygon, []), ('b', ogr.wkbPoint, ['POINT (2 2)']))
for name, text in (('bad.gpkg', 'not a GeoPackage'), ('x.shp', '')):
    open(sys.argv[1] + '/' + name, 'w').write(text)
)";

} // namespace

class LayerChoiceTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
private slots:
    void initTestCase() {
        QCOMPARE(QProcess::execute("/usr/bin/python3", {"-c", QLatin1String(kFixtures), m_dir.path()}), 0);
    }

    // Paths are relative to the fixtures; chosen is a row of 0/1 per asked source, rows split by ",".
    void entriesOfAddedPaths_data() {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("fromFolder");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QStringList>("entries");
        const QString two = QStringLiteral("two.gpkg: roads Line String 2 rails Multi Line String 1");
        const QString gdb = QStringLiteral("parks.gdb: a Multi Polygon 0 b Point 1");
        QTest::newRow("both, around others")
            << QStringList{"x.shp", "two.gpkg", "one.gpkg"} << false << "11" << QStringList{two}
            << QStringList{"x.shp", "two.gpkg:roads", "two.gpkg:rails", "one.gpkg"};
        QTest::newRow("cancelled; a layer named, an unreadable file, a missing layer source")
            << QStringList{"two.gpkg:roads", "bad.gpkg", "gone.gpkg:a", "two.gpkg"} << false << ""
            << QStringList{two} << QStringList{"two.gpkg:roads", "bad.gpkg", "gone.gpkg:a"};
        QTest::newRow("two sources") << QStringList{"parks.gdb", "two.gpkg"} << false << "10,01"
                                     << QStringList{gdb, two} << QStringList{"parks.gdb:a", "two.gpkg:rails"};
        QTest::newRow("a folder's listing asks again")
            << QStringList{"parks.gdb:a", "parks.gdb:b", "two.gpkg:roads", "two.gpkg:rails", "x.shp"} << true
            << "01,10" << QStringList{gdb, two} << QStringList{"parks.gdb:b", "two.gpkg:roads", "x.shp"};
    }
    void entriesOfAddedPaths() {
        QFETCH(QStringList, paths);
        QFETCH(bool, fromFolder);
        QFETCH(QString, chosen);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, entries);
        const QString prefix = m_dir.path() + u'/';
        paths.replaceInStrings(QRegularExpression(QStringLiteral("^")), prefix);
        CLayerChoice choice;
        choice.Take(fromFolder ? FoldSourceLayers(paths) : paths);
        QStringList shown;
        for (const SLayerSource& source : choice.Sources()) {
            QString line = source.path.mid(prefix.size()) + u':';
            for (const SVectorLayerFacts& layer : source.layers)
                line += QString::fromStdU16String(u' ' + layer.name + u' ' + layer.geometry + u' ') +
                        QString::number(layer.features);
            shown << line;
        }
        QCOMPARE(shown, asked);
        std::vector<std::vector<bool>> flags;
        for (const QString& row : chosen.split(u',', Qt::SkipEmptyParts)) {
            std::vector<bool>& rowFlags = flags.emplace_back();
            for (const QChar c : row)
                rowFlags.push_back(c == u'1');
        }
        QStringList added = choice.Entries(flags);
        added.replaceInStrings(prefix, QString());
        QCOMPARE(added, entries);
        for (const QString& entry : entries) // the list takes them, but for a source that is not there
            QCOMPARE(IsLayerPath(prefix + entry), !entry.startsWith(QStringLiteral("gone")));
    }
};

QTEST_MAIN(LayerChoiceTest)
#include "LayerChoiceTest.moc"
