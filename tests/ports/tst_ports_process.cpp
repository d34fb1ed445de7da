// SPDX-License-Identifier: MIT
#include "ports_test_support.h"
#include "support/private_tmpdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

// The real bexen-ports executable against things planted at the port file's name. Every run has a
// watchdog: a tool that blocked on a FIFO would otherwise hang the test instead of failing it.
class TestPortsProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void obstacleAtTheName_data();
    void obstacleAtTheName();
    void exitCodes_data();
    void exitCodes();
    void watchEndsOnCtrlC();

private:
    struct Finished {
        int code = -1;
        QString out;
        QString err;
    };
    Finished runTool(const QStringList &args);

    QString m_tool;
};

namespace {
constexpr int kWatchdogMs = 10'000;
}

void TestPortsProcess::initTestCase()
{
    m_tool = portsToolPath();
    QVERIFY2(QFileInfo(m_tool).isExecutable(), qPrintable("no tool at " + m_tool));
}

TestPortsProcess::Finished TestPortsProcess::runTool(const QStringList &args)
{
    QProcess p;
    p.start(m_tool, args);
    Finished f;
    if (!p.waitForStarted(kWatchdogMs))
        return f;
    // Whatever reads input would wait for this; the tool reads none.
    p.closeWriteChannel();
    if (!p.waitForFinished(kWatchdogMs)) {
        p.kill();
        p.waitForFinished();
        f.err = "still running after the watchdog";
        return f;
    }
    f.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    f.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    f.err = QString::fromLocal8Bit(p.readAllStandardError());
    return f;
}

void TestPortsProcess::obstacleAtTheName_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");

    const QList<QPair<QString, QString>> obstacles{
            {"fifo", "is not a regular file"},
            {"symlink", "is a symbolic link"},
            {"directory", "is a directory"}, // "Is a directory" when opened for writing
            {"hard link", "hard links"},
    };
    const QList<QStringList> commands{
            {"get", "150"}, {"set", "150", "1"}, {"dump"}, {"watch"},
    };
    for (const auto &[obstacle, reason] : obstacles) {
        for (const QStringList &args : commands) {
            QTest::addRow("%s, %s", qPrintable(obstacle), qPrintable(args.first()))
                    << obstacle << args << reason;
        }
    }
}

void TestPortsProcess::obstacleAtTheName()
{
    QFETCH(QString, obstacle);
    QFETCH(QStringList, args);
    QFETCH(QString, reason);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const QString name = tmp.portFile();
    const QString elsewhere = tmp.filePath("emulator-owned.dat");
    const QByteArray elsewhereBytes(64, char(1));
    QFile target(elsewhere);
    QVERIFY(target.open(QIODevice::WriteOnly));
    QCOMPARE(target.write(elsewhereBytes), elsewhereBytes.size());
    target.close();

    if (obstacle == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
    else if (obstacle == "symlink")
        QVERIFY(QFile::link(elsewhere, name));
    else if (obstacle == "directory")
        QVERIFY(QDir().mkdir(name));
    else if (obstacle == "hard link")
        QCOMPARE(::link(QFile::encodeName(elsewhere).constData(),
                        QFile::encodeName(name).constData()), 0);

    // Both ways of naming the file: the temporary directory's and --file.
    for (const QStringList &how : {QStringList{}, QStringList{"--file", name}}) {
        const Finished f = runTool(how + args);
        QVERIFY2(f.code == 1, qPrintable(QString("exit %1, stderr: %2").arg(f.code).arg(f.err)));
        QCOMPARE(f.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(f.err.startsWith("bexen-ports: " + name + ": "), qPrintable(f.err));
        QVERIFY2(f.err.contains(reason, Qt::CaseInsensitive), qPrintable(f.err));
        if (args.first() == "get")
            QCOMPARE(f.out, QString());
    }

    // What was planted is as it was, and the file it points at was not written through it.
    QFile check(elsewhere);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), elsewhereBytes);
    struct stat st{};
    QCOMPARE(::lstat(QFile::encodeName(name).constData(), &st), 0);
    if (obstacle == "fifo")
        QVERIFY(S_ISFIFO(st.st_mode));
    else if (obstacle == "symlink")
        QVERIFY(S_ISLNK(st.st_mode));
    else if (obstacle == "directory")
        QVERIFY(S_ISDIR(st.st_mode));
}

void TestPortsProcess::exitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");

    QTest::newRow("set") << QStringList{"set", "150", "3", "160", "4"} << 0 << "";
    QTest::newRow("get") << QStringList{"get", "150", "160"} << 0 << "3\n4\n";
    QTest::newRow("bad port") << QStringList{"get", "1500000"} << 2 << "";
    QTest::newRow("bad value") << QStringList{"set", "150", "300"} << 2 << "";
    QTest::newRow("unknown command") << QStringList{"status"} << 2 << "";
    QTest::newRow("no command") << QStringList{} << 2 << "";
    QTest::newRow("missing directory") << QStringList{"--file", "/nonexistent-dir/x", "get", "150"}
                                       << 1 << "";
}

void TestPortsProcess::exitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);

    // One directory for all rows, so "get" sees what "set" stored.
    static PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const Finished f = runTool(args);
    QCOMPARE(f.code, code);
    QCOMPARE(f.out, out);
    QCOMPARE(f.err.isEmpty(), code == 0);
}

void TestPortsProcess::watchEndsOnCtrlC()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());

    QProcess p;
    p.start(m_tool, {"watch", "--interval", "20"});
    QVERIFY(p.waitForStarted(kWatchdogMs));
    QString out;
    const auto linesSeen = [&] {
        out += QString::fromLocal8Bit(p.readAllStandardOutput());
        return out.count(QLatin1Char('\n'));
    };
    QVERIFY2(QTest::qWaitFor([&] { return linesSeen() >= 5; }, kWatchdogMs), qPrintable(out));

    QCOMPARE(runTool({"set", "161", "4"}).code, 0);
    QVERIFY2(QTest::qWaitFor([&] { return linesSeen() >= 6; }, kWatchdogMs), qPrintable(out));
    QVERIFY2(out.endsWith("  light 2 (port 161): 4 green\n"), qPrintable(out));

    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    const bool ended = p.waitForFinished(kWatchdogMs);
    if (!ended)
        p.kill();
    QVERIFY2(ended, "watch did not end on SIGINT");
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(tmp.portFile()) || QFileInfo(tmp.portFile()).size() == 62);
}

QTEST_GUILESS_MAIN(TestPortsProcess)
#include "tst_ports_process.moc"
