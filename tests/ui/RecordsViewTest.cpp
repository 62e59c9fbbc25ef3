// The records window without a display: the fields as the merge writes them, nulls empty, the first
// 1,000 records of the file and its count; layers written by GDAL.

#include "ui/RecordsView.h"

#include "OgrLayer.h"

#include <QHeaderView>
#include <QLocale>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace fennick;

class RecordsViewTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheFirstRecordsAsTheMergeWritesThem() {
        QTemporaryDir dir;
        const std::vector<test::SOgrField> fields{
            {"NAME", 'C', 20, 0}, {"POPULATION_TOTAL", 'N', 9, 0}, {"AREA", 'F', 12, 3}};
        struct SRow {
            const char* file;
            int records;
            QStringList headers;
            int shown;
        } rows[] = {
            {"many.shp", 1001, {"NAME", "POPULATION", "AREA"}, 1000},
            {"few.tab", 3, {"NAME", "POPULATION", "AREA"}, 3},
        };
        for (const SRow& row : rows) {
            std::vector<test::SOgrFeature> features;
            for (int i = 0; i < row.records; ++i) {
                std::string point = "POINT (", name = "n";
                point.append(std::to_string(i)).append(" 1)");
                name.append(std::to_string(i + 1));
                features.push_back({point, {name, i == 1 ? "" : std::to_string(i + 7), "2.5"}});
            }
            const QString path = dir.filePath(QLatin1String(row.file));
            test::WriteOgrLayer(path.toStdString(), "POINT", fields, features);
            CRecordsView view(path, nullptr);
            QTRY_COMPARE(view.Table()->rowCount(), row.shown);
            QStringList headers;
            for (int c = 0; c < view.Table()->columnCount(); ++c)
                headers << view.Table()->horizontalHeaderItem(c)->text();
            QCOMPARE(headers, row.headers);
            QCOMPARE(view.Table()->item(0, 0)->text(), QStringLiteral("n1"));
            QCOMPARE(view.Table()->item(0, 1)->text().trimmed(), QStringLiteral("7"));
            const bool tab = QString::fromLatin1(row.file).endsWith(QLatin1String(".tab"));
            // A null is empty; MapInfo tables hold no nulls and give 0.
            QCOMPARE(view.Table()->item(1, 1)->text().trimmed(), tab ? QStringLiteral("0") : QString());
            QCOMPARE(view.Table()->item(row.shown - 1, 0)->text(), QStringLiteral("n%1").arg(row.shown));
            QVERIFY2(
                view.CountText().startsWith(QLocale().toString(row.records) + QStringLiteral(" records")),
                qPrintable(view.CountText()));
            QCOMPARE(view.CountText().contains(QStringLiteral("the first")), row.shown < row.records);
        }
    }
};

QTEST_MAIN(RecordsViewTest)
#include "RecordsViewTest.moc"
