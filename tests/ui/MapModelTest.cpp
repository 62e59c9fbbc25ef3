// The map beside the list without a display: colours per file, extents and conversion as the merge makes
// them, decimation to the view, the cache read again when a file changes on disk, hover by the records'
// boxes; and the panel rendered offscreen, each file's colour where its shapes lie.

#include "ui/MapModel.h"
#include "ui/MapPanel.h"

#include "OgrLayer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <string>

using namespace fennick;

namespace {

const char* const kUtm33 =
    "PROJCS[\"WGS_1984_UTM_Zone_33N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
    "6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],PROJECTION["
    "\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
    "PARAMETER[\"Central_Meridian\",15.0],PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_"
    "Origin\","
    "0.0],UNIT[\"Meter\",1.0]]";
const char* const kWgs84 = "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
                           "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

std::string Square(double x, double y, double side) {
    auto at = [](double a, double b) { return std::to_string(a) + ' ' + std::to_string(b); };
    return "POLYGON ((" + at(x, y) + ',' + at(x, y + side) + ',' + at(x + side, y + side) + ',' +
           at(x + side, y) + ',' + at(x, y) + "))";
}

// Writes a layer (GDAL) with a .prj.
QString Layer(const QTemporaryDir& dir, const char* name, const char* type,
              const std::vector<std::string>& wkts, const char* prj) {
    const QString path = dir.filePath(QLatin1String(name) + QStringLiteral(".shp"));
    std::vector<test::SOgrFeature> features;
    for (const std::string& wkt : wkts)
        features.push_back({wkt, {"x"}});
    test::WriteOgrLayer(path.toStdString(), type, {{"NAME", 'C', 10, 0}}, features);
    QFile file(dir.filePath(QLatin1String(name) + QStringLiteral(".prj")));
    if (file.open(QIODevice::WriteOnly))
        file.write(prj);
    return path;
}

bool Near(const CGeoRect& a, const CGeoRect& b, double tolerance) {
    return std::abs(a.left - b.left) < tolerance && std::abs(a.right - b.right) < tolerance &&
           std::abs(a.top - b.top) < tolerance && std::abs(a.bottom - b.bottom) < tolerance;
}

} // namespace

class MapModelTest : public QObject {
    Q_OBJECT

private slots:
    // A file keeps its colour while listed, whatever the order; a removed file's colour goes to the next
    // one added, and its shapes go at once.
    void coloursFollowFiles() {
        QTemporaryDir dir;
        const QString a = Layer(dir, "a", "POLYGON", {Square(0, 0, 1)}, kUtm33);
        const QString b = Layer(dir, "b", "POLYGON", {Square(2, 0, 1)}, kUtm33);
        const QString c = Layer(dir, "c", "POLYGON", {Square(4, 0, 1)}, kUtm33);
        CMapModel model;
        model.SetFiles({a, b, c});
        const QColor ca = model.Colour(a), cb = model.Colour(b), cc = model.Colour(c);
        QVERIFY(ca != cb && cb != cc && ca != cc);
        QSignalSpy redraws(&model, &CMapModel::ShapesChanged);
        model.SetFiles({a, c, b});
        QCOMPARE(redraws.size(), 1); // another order, drawn again
        model.SetFiles({c, a});
        QCOMPARE(model.Colour(c), cc);
        QCOMPARE(model.Colour(a), ca);
        QVERIFY(!model.Colour(b).isValid());
        QCOMPARE(model.Count(), 2);
        model.SetFiles({c, a, b});
        QCOMPARE(model.Colour(b), cb); // the freed palette colour
    }

    // Extents in the coordinates the merge writes: own numbers without conversion, converted into the
    // first file's system with it; a point on the central meridian at the equator lands on the false
    // easting.
    void extentsFollowConversion() {
        QTemporaryDir dir;
        const QString utm = Layer(dir, "utm", "POLYGON", {Square(400000, 1000, 50000)}, kUtm33);
        const QString geo = Layer(dir, "geo", "POINT", {"POINT (15 0)"}, kWgs84);
        // Without conversion the geographic point stays at its own numbers, far from the other file.
        const struct {
            bool convert;
            CGeoRect extent;
        } rows[] = {{false, {15, 51000, 450000, 0}}, {true, {400000, 51000, 500000, 0}}};
        for (const auto& row : rows) {
            CMapModel model;
            model.SetConversion(row.convert);
            model.SetFiles({utm, geo});
            QTRY_VERIFY(model.Extent().right > 1000.0 && model.Extent().left < 1e6);
            QTRY_VERIFY2(Near(model.Extent(), row.extent, 1e-3), row.convert ? "converted" : "own numbers");
            QCOMPARE(model.XStretch(), 1.0);
        }
        // A geographic first file is drawn with longitudes scaled by the latitude's cosine.
        const QString north = Layer(dir, "north", "POINT", {"POINT (10 59)", "POINT (12 61)"}, kWgs84);
        CMapModel model;
        model.SetFiles({north});
        QTRY_VERIFY(!model.Extent().IsEmpty());
        QVERIFY(std::abs(model.XStretch() - 0.5) < 1e-9);
    }

    // Shapes smaller than a pixel fold into one point a pixel; a line keeps a point a pixel; hovering
    // names the record whose box holds the pointer.
    void decimatesToTheViewAndFindsRecords() {
        QTemporaryDir dir;
        std::vector<std::string> shapes{Square(0, 0, 100)};
        for (int i = 0; i < 400; ++i)
            shapes.push_back(Square(150 + (i % 20) * 0.02, 50 + (i / 20) * 0.02, 0.01));
        const QString polygons = Layer(dir, "polygons", "POLYGON", shapes, kUtm33);
        std::string line = "LINESTRING (";
        for (int i = 0; i <= 20000; ++i)
            line.append(i ? "," : "").append(std::to_string(i * 0.01)).append(" -20");
        const QString lines = Layer(dir, "lines", "LINESTRING", {line + ")"}, kUtm33);
        CMapModel model;
        model.SetFiles({polygons, lines});
        QTRY_VERIFY(!model.Extent().IsEmpty() && model.Count() == 2);
        model.SetView(SMapView::Fitting(model.Extent(), 200, 100, 1.0)); // about a unit a pixel
        QTRY_VERIFY(model.IsDrawn());
        const SLayerOutline& square = *model.Outline(0);
        QCOMPARE(square.records, int64_t(401));
        QCOMPARE(square.items.size(), std::size_t(1));
        QVERIFY2(!square.dots.empty() && square.dots.size() <= 4, "400 tiny squares in one pixel or a few");
        QCOMPARE(square.items.front().record, 1);
        QCOMPARE(square.parts[1] - square.parts[0], 5u);
        const SLayerOutline& path = *model.Outline(1);
        QVERIFY2(path.points.size() / 2 <= 200 + 2, "at most one point a pixel");
        QVERIFY(path.points.size() / 2 > 150);
        const CGeoPoint centre = model.View().ToPixel(50, 50), dots = model.View().ToPixel(150.2, 50.2);
        QCOMPARE(model.HitAt({centre.x, centre.y}, 1).record, 1);
        QCOMPARE(model.HitAt({dots.x, dots.y}, 1).row, 0);
        QVERIFY(model.HitAt({dots.x, dots.y}, 1).record > 1);
        QCOMPARE(model.HitAt({1000, 1000}, 1).row, -1);
        QVERIFY(model.CacheBytes() > 0 && model.CacheBytes() < 20000);
        // A pan of less than a screen keeps what is read; another scale reads again.
        SMapView view = model.View();
        view.centreX += 150 * view.unitsPerPixel;
        model.SetView(view);
        QVERIFY(model.IsDrawn() && model.Outline(0) == &square);
        view.unitsPerPixel /= 2;
        model.SetView(view);
        QVERIFY(!model.IsDrawn());
        QTRY_VERIFY(model.IsDrawn());
    }

    // A file written anew on disk is read again; its old shapes do not stay.
    void readsAgainWhenTheFileChanges() {
        QTemporaryDir dir;
        const QString path = Layer(dir, "a", "POLYGON", {Square(0, 0, 10)}, kUtm33);
        CMapModel model;
        model.SetFiles({path});
        QTRY_VERIFY(!model.Extent().IsEmpty());
        model.SetView(SMapView::Fitting(model.Extent(), 100, 100, 1.0));
        QTRY_VERIFY(model.IsDrawn());
        Layer(dir, "a", "POLYGON", {Square(0, 0, 10), Square(90, 90, 10)}, kUtm33);
        model.CheckFiles();
        QTRY_COMPARE(model.Extent().right, 100.0);
        model.SetView(SMapView::Fitting(model.Extent(), 100, 100, 1.0));
        QTRY_VERIFY(model.IsDrawn());
        QCOMPARE(model.Outline(0)->records, int64_t(2));
        // Gone for a while, then written again: still read again.
        QVERIFY(QFile::remove(path));
        model.CheckFiles();
        QTRY_VERIFY(model.Extent().IsEmpty());
        Layer(dir, "a", "POLYGON", {Square(0, 0, 10), Square(90, 90, 10), Square(0, 90, 10)}, kUtm33);
        model.CheckFiles();
        QTRY_COMPARE(model.Extent().top, 100.0);
        model.SetView(SMapView::Fitting(model.Extent(), 100, 100, 1.0));
        QTRY_VERIFY(model.IsDrawn() && model.Outline(0)->records == 3);
    }

    // Offscreen: each file's colour lies where its shapes are;
    // the wheel zooms about the pointer and Home fits again.
    void panelDrawsEachFileInItsColour() {
        QTemporaryDir dir;
        const QStringList paths{Layer(dir, "a", "POLYGON", {Square(0, 0, 100)}, kUtm33),
                                Layer(dir, "b", "POLYGON", {Square(100, 0, 100)}, kUtm33),
                                Layer(dir, "c", "POLYGON", {Square(200, 0, 100)}, kUtm33)};
        CMapModel model;
        CMapPanel panel(model);
        panel.SetRedrawDelay(0);
        panel.resize(330, 130);
        model.SetFiles(paths);
        QTRY_VERIFY(model.IsDrawn() && !model.View().IsEmpty() && !panel.IsDrawing());
        const QImage image = panel.grab().toImage();
        const auto hueAt = [&](double x, double y) {
            const CGeoPoint at = panel.View().ToPixel(x, y);
            return image.pixelColor(int(at.x), int(at.y)).hsvHue();
        };
        const double spots[][2] = {{20, 20}, {150, 50}, {250, 50}};
        const int rows[] = {0, 1, 2};
        for (int i = 0; i < 3; ++i) {
            const int want = model.Colour(paths[rows[i]]).hsvHue();
            const int apart = std::abs(hueAt(spots[i][0], spots[i][1]) - want) % 360;
            QVERIFY2(std::min(apart, 360 - apart) <= 12, qPrintable(paths[rows[i]]));
        }
        // Selections drawn in the background: the last asked for is the one shown, its file stronger.
        // An image still being drawn comes back null and fails the comparisons below.
        const auto grabbed = [&] {
            return QTest::qWaitFor([&] { return !panel.IsDrawing(); }) ? panel.grab().toImage() : QImage();
        };
        panel.SetSelectedRows({2});
        const QImage selected = grabbed();
        panel.SetSelectedRows({0});
        panel.SetSelectedRows({2});
        QCOMPARE(grabbed(), selected);
        const auto saturation = [&](const QImage& shown) {
            const CGeoPoint at = panel.View().ToPixel(250, 50);
            return shown.pixelColor(int(at.x), int(at.y)).hsvSaturation();
        };
        QVERIFY(saturation(selected) > saturation(image));
        const SMapView fitted = panel.View();
        const CGeoPoint pointer = fitted.ToPixel(250, 50);
        QWheelEvent wheel(QPointF(pointer.x, pointer.y), panel.mapToGlobal(QPointF(pointer.x, pointer.y)),
                          QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&panel, &wheel);
        const CGeoPoint kept = panel.View().ToDrawn(pointer.x, pointer.y);
        QVERIFY(std::abs(kept.x - 250) < 1e-6 && std::abs(kept.y - 50) < 1e-6);
        QVERIFY(panel.View().unitsPerPixel < fitted.unitsPerPixel / 1.5);
        QTest::keyClick(&panel, Qt::Key_Home);
        QVERIFY(panel.View() == fitted);
    }
};

QTEST_MAIN(MapModelTest)
#include "MapModelTest.moc"
