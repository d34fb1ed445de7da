// SPDX-License-Identifier: MIT
#include "port_channel.h"
#include "ports_test_support.h"
#include "support/private_tmpdir.h"

#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <csignal>

// The real executable, stopped the way a user stops it: Ctrl-C, which the tool takes as a
// request to finish the running step. Every wait has a watchdog.
class TestJunctionProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void demoEndsAllRedOnCtrlC();
    void recordingIsWholeAfterCtrlC();
    void demoPassesTheCheckerWithCarsFromAScript();

private:
    void start(QProcess &process, const QStringList &args, const PrivateTmpDir &tmp);
    static bool finish(QProcess &process);
    static void interrupt(QProcess &process) { ::kill(static_cast<pid_t>(process.processId()), SIGINT); }

    QString m_tool;
};

namespace {

constexpr int kWatchdogMs = 20'000;

std::uint8_t portByte(const PrivateTmpDir &tmp, std::int32_t port)
{
    return bexen::io::readPortByte(port, tmp.portFileStd(), bexen::io::WhenMissing::ReadZero).value;
}

} // namespace

void TestJunctionProcess::initTestCase()
{
    m_tool = portsToolPath();
    QVERIFY2(QFileInfo(m_tool).isExecutable(), qPrintable("no tool at " + m_tool));
}

void TestJunctionProcess::start(QProcess &process, const QStringList &args, const PrivateTmpDir &tmp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", tmp.path());
    process.setProcessEnvironment(env);
    process.start(m_tool, args);
    QVERIFY(process.waitForStarted(kWatchdogMs));
    process.closeWriteChannel();
}

bool TestJunctionProcess::finish(QProcess &process)
{
    if (process.waitForFinished(kWatchdogMs))
        return true;
    process.kill();
    process.waitForFinished();
    return false;
}

void TestJunctionProcess::demoEndsAllRedOnCtrlC()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QProcess demo;
    start(demo, {"demo", "--all-red", "0.2", "--red-yellow", "0.2", "--yellow", "0.5"}, tmp);
    QVERIFY2(QTest::qWaitFor([&] { return portByte(tmp, 160) == 4; }, kWatchdogMs), "no green");
    interrupt(demo);
    QVERIFY2(finish(demo), "the demo did not stop");
    QCOMPARE(demo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(demo.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(demo.readAllStandardOutput());
    QVERIFY2(out.contains("east-west road (lights 1 and 3): yellow (stopping)"), qPrintable(out));
    QVERIFY(out.endsWith("all lights red; the demo ends\n"));
    for (std::int32_t port = 160; port <= 163; ++port)
        QCOMPARE(portByte(tmp, port), std::uint8_t(1));
}

void TestJunctionProcess::recordingIsWholeAfterCtrlC()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const QString csv = tmp.filePath("run.csv");
    QProcess record;
    start(record, {"record", csv}, tmp);
    QVERIFY(QTest::qWaitFor([&] { return fileBytes(csv).count('\n') == 6; }, kWatchdogMs));
    QVERIFY(!bexen::io::writePortByte(161, 4, tmp.portFileStd()));
    QVERIFY(QTest::qWaitFor([&] { return fileBytes(csv).count('\n') == 7; }, kWatchdogMs));
    interrupt(record);
    QVERIFY(finish(record));
    QCOMPARE(record.exitCode(), 0);
    const QList<QByteArray> lines = fileBytes(csv).split('\n');
    QCOMPARE(lines.size(), 9); // six rows, the change and the end, each ended by a newline
    QCOMPARE(lines[0], QByteArray("time_s,port,value"));
    QCOMPARE(lines[1], QByteArray("0.000,150,0"));
    QVERIFY2(lines[6].endsWith(",161,4"), lines[6].constData());
    QVERIFY2(lines[7].endsWith(",150,0"), lines[7].constData());
    QCOMPARE(lines[8], QByteArray());
}

void TestJunctionProcess::demoPassesTheCheckerWithCarsFromAScript()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const QString script = tmp.filePath("cars.txt");
    QVERIFY(writeFileBytes(script, "# a car on each road in turn; each leaves once it has had green\n"
                                   "0.5 sensor 2 on\n3.5 sensor 2 off\n"
                                   "4 sensor 1 on\n7 sensor 1 off\n"));
    // Phases of half a second keep every step far longer than the checker's 100 ms poll, even
    // on a busy machine.
    QProcess demo;
    QProcess check;
    QProcess play;
    start(demo, {"demo", "--min-green", "0.5", "--yellow", "0.5", "--red-yellow", "0.5",
                 "--all-red", "0.5", "--duration", "9"},
          tmp);
    start(check, {"watch", "--check", "--max-wait", "5", "--duration", "9"}, tmp);
    start(play, {"play", script}, tmp);
    QVERIFY(finish(play));
    QCOMPARE(play.exitCode(), 0);
    QVERIFY(finish(demo));
    QCOMPARE(demo.exitCode(), 0);
    QVERIFY(finish(check));
    const QString report = QString::fromLocal8Bit(check.readAllStandardOutput());
    QCOMPARE(check.exitCode(), 0);
    QVERIFY2(report.endsWith("no violations\n"), qPrintable(report));
    const QString log = QString::fromLocal8Bit(demo.readAllStandardOutput());
    QVERIFY2(log.contains("north-south road (lights 2 and 4): green"), qPrintable(log));
    QVERIFY2(log.contains("(car waiting at light 1 after"), qPrintable(log));
}

QTEST_GUILESS_MAIN(TestJunctionProcess)
#include "tst_junction_process.moc"
