// SPDX-License-Identifier: MIT
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// Installs the build into a private prefix and checks that a desktop finds the program there.
class TestInstalledTree : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void programs_data();
    void programs();
    void desktopEntry();
    void desktopEntryValidates();
    void scalableIcon();
    void pngIcons_data();
    void pngIcons();
    void documents_data();
    void documents();
    void copyrightQuotesLicence();

private:
    QString path(const QString &relative) const { return m_prefix.filePath(relative); }

    QTemporaryDir m_prefix;
};

void TestInstalledTree::initTestCase()
{
    QVERIFY2(m_prefix.isValid(), qPrintable(m_prefix.errorString()));
    QProcess install;
    QStringList args{QStringLiteral("--install"), QStringLiteral(BEXEN_BUILD_DIR),
                     QStringLiteral("--prefix"), m_prefix.path()};
    if (!QStringLiteral(BEXEN_BUILD_CONFIG).isEmpty())
        args << QStringLiteral("--config") << QStringLiteral(BEXEN_BUILD_CONFIG);
    install.start(QStringLiteral(BEXEN_CMAKE_COMMAND), args);
    QVERIFY2(install.waitForFinished(120000), "cmake --install did not finish");
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             qPrintable(QString::fromLocal8Bit(install.readAllStandardError())));
}

void TestInstalledTree::programs_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("panel") << "bin/bexen-semaphores";
    QTest::newRow("companion") << "bin/bexen-ports";
}

void TestInstalledTree::programs()
{
    QFETCH(QString, program);
    const QFileInfo info(path(program));
    QVERIFY2(info.isFile(), qPrintable(program + " is not installed"));
    QVERIFY2(info.isExecutable(), qPrintable(program + " is not executable"));
}

void TestInstalledTree::desktopEntry()
{
    QFile file(path(QStringLiteral("share/applications/invalid.bexen.semaphores.desktop")));
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(file.fileName() + ": " + file.errorString()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    // Comments (the licence line) may stand before the group; nothing else may.
    const auto group = std::find_if(lines.cbegin(), lines.cend(),
                                    [](const QString &line) { return !line.startsWith(QLatin1Char('#')); });
    QVERIFY(group != lines.cend());
    QCOMPARE(*group, QStringLiteral("[Desktop Entry]"));
    for (const QString &expected : {QStringLiteral("Type=Application"), QStringLiteral("Exec=bexen-semaphores"),
                                    QStringLiteral("Icon=bexen-semaphores"), QStringLiteral("Terminal=false"),
                                    QStringLiteral("Name=Bexen Semaphores")}) {
        QVERIFY2(lines.contains(expected), qPrintable(expected + " missing"));
    }
}

void TestInstalledTree::desktopEntryValidates()
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (Debian package desktop-file-utils)");
    QProcess validate;
    validate.start(validator, {path(QStringLiteral("share/applications/invalid.bexen.semaphores.desktop"))});
    QVERIFY(validate.waitForFinished(30000));
    const QString said = QString::fromLocal8Bit(validate.readAllStandardOutput() + validate.readAllStandardError());
    QVERIFY2(validate.exitCode() == 0 && !said.contains(QLatin1String("error")), qPrintable(said));
}

void TestInstalledTree::scalableIcon()
{
    const QString svg = path(QStringLiteral("share/icons/hicolor/scalable/apps/bexen-semaphores.svg"));
    QVERIFY2(QFileInfo::exists(svg), qPrintable(svg + " is not installed"));
    QSvgRenderer renderer(svg);
    QVERIFY2(renderer.isValid(), qPrintable(svg + " does not parse"));
    QCOMPARE(renderer.viewBoxF().size(), QSizeF(32, 32));
}

void TestInstalledTree::pngIcons_data()
{
    QTest::addColumn<int>("size");
    for (const int size : {16, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void TestInstalledTree::pngIcons()
{
    QFETCH(int, size);
    const QString png = path(QStringLiteral("share/icons/hicolor/%1x%1/apps/bexen-semaphores.png").arg(size));
    QImage image;
    QVERIFY2(image.load(png, "PNG"), qPrintable(png + " is missing or not a PNG picture"));
    QCOMPARE(image.size(), QSize(size, size));
    // The portrait's cyan ground reaches the top corners at every size.
    QCOMPARE(image.pixelColor(0, 0), QColor(0, 255, 255));
    QCOMPARE(image.pixelColor(size - 1, 0), QColor(0, 255, 255));
    QVERIFY(image.pixelColor(size / 2, size * 3 / 8) != QColor(0, 255, 255));
}

void TestInstalledTree::documents_data()
{
    QTest::addColumn<QString>("document");
    // Each Debian package has its own copyright and changelog.
    for (const char *package : {"bexen-semaphores", "bexen-ports"}) {
        QTest::addRow("%s copyright", package) << QStringLiteral("share/doc/%1/copyright").arg(QLatin1String(package));
        QTest::addRow("%s changelog", package) << QStringLiteral("share/doc/%1/changelog.gz").arg(QLatin1String(package));
    }
    QTest::newRow("bexen-ports(1)") << "share/man/man1/bexen-ports.1.gz";
    QTest::newRow("bexen-semaphores(1)") << "share/man/man1/bexen-semaphores.1.gz";
    QTest::newRow("metainfo") << "share/metainfo/bexen-semaphores.metainfo.xml";
}

void TestInstalledTree::documents()
{
    QFETCH(QString, document);
    QFile file(path(document));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(document + " is not installed"));
    const QByteArray head = file.read(10);
    QVERIFY2(head.size() == 10, qPrintable(document + " is all but empty"));
    if (document.endsWith(QLatin1String(".gz"))) {
        // A gzip member begins 1f 8b; bytes 4 to 7 hold the time it was made, which must be 0 so
        // that the same release always compresses to the same bytes.
        QCOMPARE(head.left(2), QByteArray("\x1f\x8b"));
        QCOMPARE(head.mid(4, 4), QByteArray(4, '\0'));
    }
}

// Debian's copyright file holds the licence: every line of LICENSE, indented by one blank, with
// " ." for an empty line, under the machine-readable format's first line.
void TestInstalledTree::copyrightQuotesLicence()
{
    QFile licenceFile(QStringLiteral(BEXEN_SOURCE_DIR "/LICENSE"));
    QFile copyrightFile(path(QStringLiteral("share/doc/bexen-semaphores/copyright")));
    QVERIFY(licenceFile.open(QIODevice::ReadOnly | QIODevice::Text));
    QVERIFY(copyrightFile.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString copyright = QString::fromUtf8(copyrightFile.readAll());
    QVERIFY(copyright.startsWith(
        QLatin1String("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")));

    QString quoted;
    for (const QString &line : QString::fromUtf8(licenceFile.readAll()).trimmed().split(QLatin1Char('\n')))
        quoted += line.isEmpty() ? QStringLiteral(" .\n") : QLatin1Char(' ') + line + QLatin1Char('\n');
    QVERIFY2(copyright.contains(QLatin1String("\nLicense: Expat\n") + quoted),
             "the copyright file does not quote LICENSE in full under License: Expat");
}

QTEST_GUILESS_MAIN(TestInstalledTree)
#include "tst_installed_tree.moc"
