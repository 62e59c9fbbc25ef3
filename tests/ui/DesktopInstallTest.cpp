// The desktop integration as installed: this build goes into a temporary prefix (and, staged, under DESTDIR),
// and the icon theme's PNG files, the desktop entry and the MIME package are read back from there.

#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

class DesktopInstallTest : public QObject {
    Q_OBJECT

private slots:
    void installsIconsDesktopEntryAndMimeTypes_data() {
        QTest::addColumn<bool>("staged");
        QTest::newRow("into a prefix") << false;
        QTest::newRow("staged under DESTDIR") << true;
    }
    void installsIconsDesktopEntryAndMimeTypes() {
        QFETCH(bool, staged);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString prefix = staged ? QStringLiteral("/opt/fennick") : dir.path();
        QProcess install;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DESTDIR"));
        if (staged)
            environment.insert(QStringLiteral("DESTDIR"), dir.path());
        install.setProcessEnvironment(environment);
        install.start(QStringLiteral(FENNICK_CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(FENNICK_BUILD_DIR),
                       QStringLiteral("--prefix"), prefix});
        QVERIFY(install.waitForFinished(240000));
        QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
                 install.readAllStandardError().constData());
        const QString data =
            (staged ? dir.path() + prefix : prefix) + QStringLiteral("/") + QStringLiteral(FENNICK_DATADIR);

        for (const int size : {16, 32, 48, 64, 128, 256}) {
            const QImage image(data + QStringLiteral("/icons/hicolor/%1x%1/apps/fennick.png").arg(size));
            QCOMPARE(image.size(), QSize(size, size));
            // Painted, not blank: the middle layer covers the centre, the corners stay clear.
            QCOMPARE(image.pixelColor(size / 2, size / 2).alpha(), 255);
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        }
        QVERIFY(QFile::exists(data + QStringLiteral("/icons/hicolor/scalable/apps/fennick.svg")));

        const QString entryPath = data + QStringLiteral("/applications/fennick.desktop");
        QFile entryFile(entryPath);
        QVERIFY(entryFile.open(QIODevice::ReadOnly | QIODevice::Text));
        QMap<QString, QString> entry;
        for (const QByteArray& line : entryFile.readAll().split('\n')) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0)
                entry.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
        }
        QCOMPARE(entry.value(QStringLiteral("Exec")), QStringLiteral("fennick %F"));
        QCOMPARE(entry.value(QStringLiteral("Icon")), QStringLiteral("fennick"));
        const QStringList entryTypes =
            entry.value(QStringLiteral("MimeType")).split(u';', Qt::SkipEmptyParts);
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validator.isEmpty()) {
            QProcess validate;
            validate.start(validator, {entryPath});
            QVERIFY(validate.waitForFinished(60000));
            QVERIFY2(validate.exitCode() == 0 && validate.readAllStandardOutput().isEmpty(),
                     validate.readAllStandardError().constData());
        }

        // The MIME package: each type with its glob and comment, the same types the entry declares.
        QFile package(data + QStringLiteral("/mime/packages/fennick.xml"));
        QVERIFY(package.open(QIODevice::ReadOnly));
        QXmlStreamReader reader(&package);
        QMap<QString, QStringList> types; // type: glob, comment
        QString type;
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (reader.name() == QLatin1String("mime-type"))
                type = reader.attributes().value(QLatin1String("type")).toString();
            else if (reader.name() == QLatin1String("glob"))
                types[type] << reader.attributes().value(QLatin1String("pattern")).toString();
            else if (reader.name() == QLatin1String("comment"))
                types[type] << reader.readElementText();
        }
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
        const QMap<QString, QStringList> expected = {
            {QStringLiteral("application/x-esri-shape"),
             {QStringLiteral("ESRI shapefile"), QStringLiteral("*.shp")}},
            {QStringLiteral("application/x-mapinfo-tab"),
             {QStringLiteral("MapInfo table"), QStringLiteral("*.tab")}}};
        QCOMPARE(types, expected);
        QCOMPARE(entryTypes, expected.keys());

        // The MIME cache is built where the tool exists, and never for a staged install.
        const bool tool = !QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty();
        QCOMPARE(QFile::exists(data + QStringLiteral("/mime/application/x-esri-shape.xml")), tool && !staged);
    }
};

QTEST_MAIN(DesktopInstallTest)
#include "DesktopInstallTest.moc"
