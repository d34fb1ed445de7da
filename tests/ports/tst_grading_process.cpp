// SPDX-License-Identifier: MIT
#include "port_channel.h"
#include "ports_test_support.h"
#include "support/private_tmpdir.h"

#include <QFileInfo>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>

// `bexen-ports test` as an autograder runs it: the controller a shell script started with `--`,
// writing the port file through bexen-ports set, as an emulated program would; every wait with a
// watchdog. These run in real time, so their scenarios last two seconds at most, or are ended.
class TestGradingProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void controllerStartedByTheTest_data();
    void controllerStartedByTheTest();
    void sigtermClearsTheSensorsAndWritesTheReports();

private:
    void start(QProcess &process, const QStringList &args, const PrivateTmpDir &tmp);
    // The controller's shell script: it notes its pid, runs `body` and then sleeps on.
    QString controller(const QString &body) const;

    QString m_tool;
};

namespace {

constexpr int kWatchdogMs = 20'000;

bool finish(QProcess &process)
{
    if (process.waitForFinished(kWatchdogMs))
        return true;
    process.kill();
    process.waitForFinished();
    return false;
}

// Whether the controller the test started has been ended with it.
bool controllerGone(const PrivateTmpDir &tmp)
{
    const pid_t pid = static_cast<pid_t>(fileBytes(tmp.filePath("controller.pid")).trimmed().toInt());
    return pid > 0 && ::kill(pid, 0) == -1 && errno == ESRCH;
}

} // namespace

void TestGradingProcess::initTestCase()
{
    m_tool = portsToolPath();
    QVERIFY2(QFileInfo(m_tool).isExecutable(), qPrintable("no tool at " + m_tool));
}

void TestGradingProcess::start(QProcess &process, const QStringList &args, const PrivateTmpDir &tmp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", tmp.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(tmp.path());
    process.start(m_tool, args);
    QVERIFY(process.waitForStarted(kWatchdogMs));
    process.closeWriteChannel();
}

QString TestGradingProcess::controller(const QString &body) const
{
    QString script = "echo $$ > controller.pid; " + body;
    script.replace("PORTS", "'" + m_tool + "'");
    return script + "; exec sleep 30";
}

void TestGradingProcess::controllerStartedByTheTest_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("lines"); // stdout's lines hold these, in order
    QTest::addColumn<int>("code");

    QTest::newRow("both roads green")
            << "PORTS set 160 1 161 1 162 1 163 1; sleep 0.3; PORTS set 160 2 161 2; sleep 0.3; "
               "PORTS set 160 4 161 4"
            << QStringList{"FAIL short: at ", " s: both roads moving: east-west light 1 (port 160) 2 "
                                              "red and yellow; north-south light 2 (port 161) 2 red and yellow",
                           "0 of 2 scenarios passed; score 0 of 2"}
            << 3;
    // It exits a second into the first scenario, which fails at that time; the second is not run.
    QTest::newRow("exits early")
            << "sleep 1; exit 4"
            << QStringList{"FAIL short: at ", " s: the controller exited (status 4)",
                           "FAIL again: the controller exited (status 4)",
                           "0 of 2 scenarios passed; score 0 of 2"}
            << 3;
}

void TestGradingProcess::controllerStartedByTheTest()
{
    QFETCH(QString, body);
    QFETCH(QStringList, lines);
    QFETCH(int, code);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeFileBytes(tmp.filePath("short.txt"), "duration 2\n"));
    QVERIFY(writeFileBytes(tmp.filePath("again.txt"), "duration 2\n"));
    QProcess test;
    start(test, {"test", "short.txt", "again.txt", "--", "sh", "-c", controller(body)}, tmp);
    QVERIFY2(finish(test), "the test did not end");
    const QString out = QString::fromLocal8Bit(test.readAllStandardOutput());
    qsizetype at = 0;
    for (const QString &line : lines) {
        at = out.indexOf(line, at);
        QVERIFY2(at >= 0, qPrintable(line + " not in:\n" + out));
    }
    QCOMPARE(test.exitCode(), code);
    QVERIFY2(controllerGone(tmp), "the controller outlived the test");
}

void TestGradingProcess::sigtermClearsTheSensorsAndWritesTheReports()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    // Its name, from the file's, has every character XML must escape.
    const QString name = "a <&> \"car\"";
    QVERIFY(writeFileBytes(tmp.filePath(name + ".txt"), "0 car 2\nduration 30\n"));
    QProcess test;
    start(test, {"--file", tmp.portFile(), "test", name + ".txt", "--junit", "junit.xml",
                 "--gradescope", "results.json", "--",
                 "sh", "-c", controller("PORTS set 161 1")},
          tmp);
    const auto sensors = [&] {
        return bexen::io::readPortByte(150, tmp.portFileStd(), bexen::io::WhenMissing::ReadZero).value;
    };
    QVERIFY2(QTest::qWaitFor([&] { return sensors() == 2; }, kWatchdogMs), "no car came");
    ::kill(static_cast<pid_t>(test.processId()), SIGTERM);
    QVERIFY2(finish(test), "the test did not end");
    QCOMPARE(test.exitCode(), 3);
    QCOMPARE(sensors(), std::uint8_t(0));
    QVERIFY(controllerGone(tmp));
    const QString reason = "interrupted before the scenario's end at 30.0 s";

    QXmlStreamReader xml(fileBytes(tmp.filePath("junit.xml")));
    QStringList seen;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == u"testsuite")
            seen << QString("suite %1 %2").arg(a.value("tests")).arg(a.value("failures"));
        else if (xml.name() == u"testcase")
            seen << "case " + a.value("name").toString();
        else if (xml.name() == u"failure")
            seen << "failure " + QString(a.value("message").toString()).section(": ", 1);
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(seen, (QStringList{"suite 1 1", "case " + name, "failure " + reason}));

    const auto json = nlohmann::json::parse(fileBytes(tmp.filePath("results.json")).toStdString());
    QCOMPARE(json.at("score").get<int>(), 0);
    const auto &tests = json.at("tests");
    QCOMPARE(tests.size(), std::size_t(1));
    QCOMPARE(tests[0].at("name").get<std::string>(), name.toStdString());
    QCOMPARE(tests[0].at("status").get<std::string>(), std::string("failed"));
    QCOMPARE(tests[0].at("max_score").get<int>(), 1);
    QVERIFY(QString::fromStdString(tests[0].at("output").get<std::string>()).endsWith(reason));
}

QTEST_GUILESS_MAIN(TestGradingProcess)
#include "tst_grading_process.moc"
