// SPDX-License-Identifier: MIT
#include "commands/cli.h"
#include "shared/interrupt.h"
#include "shared/clock.h"
#include "ports_test_support.h"
#include "support/private_tmpdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <chrono>
#include <ctime>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace bexen::ports;
using namespace std::chrono;

namespace {

CliOutcome run(const QStringList &args)
{
    ManualClock clock;
    // A command that loops gets one poll and no more: these tests are about its answer.
    return runCli(args, clock, [&clock] { return clock.elapsed() >= milliseconds(100); });
}

// A port file with the given bytes at the junction's offsets (50, 60 to 63) and 0 elsewhere.
QByteArray junctionFile(quint8 sensors, quint8 l1, quint8 l2, quint8 l3, quint8 l4)
{
    QByteArray bytes(64, '\0');
    bytes[50] = char(sensors);
    bytes[60] = char(l1);
    bytes[61] = char(l2);
    bytes[62] = char(l3);
    bytes[63] = char(l4);
    return bytes;
}

// 2026-12-08 14:03:07.412 UTC, the moment every watch in these tests starts.
const system_clock::time_point kWatchStart =
        sys_days{year{2026} / December / 8} + hours{14} + minutes{3} + seconds{7}
        + milliseconds{412};

} // namespace

class TestPortsCommands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void badArguments_data();
    void badArguments();

    void setThenGet();
    void readingCommandsCreateNothing_data();
    void readingCommandsCreateNothing();
    void fileOption_data();
    void fileOption();
    void where();
    void missingDirectoryFails_data();
    void missingDirectoryFails();
    void fileOfAnotherUserFails();
    void temporaryDirectoryTooLong_data();
    void temporaryDirectoryTooLong();

    void dump_data();
    void dump();

    void watchPrintsEachChange_data();
    void watchPrintsEachChange();
    void watchStopsOnCtrlC_data();
    void watchStopsOnCtrlC();
    void portFileBecomesADirectory_data();
    void portFileBecomesADirectory();

    void help_data();
    void help();
    void commandHelp_data();
    void commandHelp();
    void version();
};

void TestPortsCommands::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TestPortsCommands::init()
{
    clearStopRequest();
}

void TestPortsCommands::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expectedError"); // from the start of the line if it names the tool

    QTest::newRow("no command") << QStringList{} << "bexen-ports: missing COMMAND";
    QTest::newRow("unknown command") << QStringList{"frobnicate"}
                                     << "bexen-ports: unknown command \"frobnicate\"";
    QTest::newRow("command in capitals") << QStringList{"GET", "150"}
                                         << "bexen-ports: unknown command \"GET\"";

    // get
    QTest::newRow("get nothing") << QStringList{"get"} << "bexen-ports: get: missing PORT";
    QTest::newRow("get 99") << QStringList{"get", "99"}
                            << "bexen-ports: get: port \"99\" is not a whole number from 100 to 65535";
    QTest::newRow("get 65536") << QStringList{"get", "150", "65536"}
                               << "bexen-ports: get: port \"65536\" is not";
    QTest::newRow("get negative") << QStringList{"get", "-150"} << "port \"-150\" is not";
    QTest::newRow("get dash letter") << QStringList{"get", "-x"}
                                     << "bexen-ports: get: unknown option \"-x\"";
    QTest::newRow("get hex") << QStringList{"get", "0x96"} << "port \"0x96\" is not";
    QTest::newRow("get word") << QStringList{"get", "sensors"} << "port \"sensors\" is not";
    QTest::newRow("get empty") << QStringList{"get", ""} << "port \"\" is not";
    QTest::newRow("get escape sequence") << QStringList{"get", "\x1b[2J"}
                                         << "port \"\\x1b[2J\" is not";
    QTest::newRow("get unknown option") << QStringList{"get", "--all"}
                                        << "bexen-ports: get: unknown option \"--all\"";

    // set: nothing is written unless every pair is good
    QTest::newRow("set nothing") << QStringList{"set"} << "bexen-ports: set: missing PORT VALUE";
    QTest::newRow("set port only") << QStringList{"set", "150"}
                                   << "bexen-ports: set: missing VALUE for port 150";
    QTest::newRow("set last value missing") << QStringList{"set", "150", "7", "160"}
                                            << "missing VALUE for port 160";
    QTest::newRow("set 256") << QStringList{"set", "150", "256"}
                             << "bexen-ports: set: value \"256\" is not a whole number from 0 to 255";
    QTest::newRow("set -1") << QStringList{"set", "160", "-1"} << "value \"-1\" is not";
    QTest::newRow("set green by name") << QStringList{"set", "160", "green"}
                                       << "value \"green\" is not";
    QTest::newRow("set bad second port") << QStringList{"set", "150", "7", "99", "1"}
                                         << "port \"99\" is not";
    QTest::newRow("set bad second value") << QStringList{"set", "150", "7", "160", "1000"}
                                          << "value \"1000\" is not";

    // commands without arguments
    QTest::newRow("where with argument") << QStringList{"where", "150"}
                                         << "bexen-ports: where: takes no arguments";
    QTest::newRow("dump with argument") << QStringList{"dump", "160"}
                                        << "bexen-ports: dump: takes no arguments";
    QTest::newRow("dump unknown option") << QStringList{"dump", "--all"}
                                         << "bexen-ports: dump: unknown option \"--all\"";
    QTest::newRow("dump then another command") << QStringList{"dump", "get", "150"}
                                               << "bexen-ports: dump: takes no arguments, but got \"get\"";
    QTest::newRow("get unknown option before a bad port") << QStringList{"get", "-x", "99"}
                                                          << "bexen-ports: get: unknown option \"-x\"";
    QTest::newRow("where negative") << QStringList{"where", "-1"}
                                    << "bexen-ports: where: takes no arguments, but got \"-1\"";

    // watch
    QTest::newRow("watch interval missing") << QStringList{"watch", "--interval"}
                                            << "bexen-ports: watch: --interval needs";
    QTest::newRow("watch interval 0") << QStringList{"watch", "--interval", "0"}
                                      << "bexen-ports: watch: --interval \"0\" is not";
    QTest::newRow("watch interval word") << QStringList{"watch", "--interval=fast"}
                                         << "interval \"fast\" is not";
    QTest::newRow("watch interval seconds") << QStringList{"watch", "--interval", "0.1"}
                                            << "interval \"0.1\" is not";
    QTest::newRow("watch stray argument") << QStringList{"watch", "160"}
                                          << "bexen-ports: watch: unexpected argument \"160\"";
    QTest::newRow("watch stray negative") << QStringList{"watch", "-5"}
                                          << "bexen-ports: watch: unexpected argument \"-5\"";
    QTest::newRow("watch unknown option") << QStringList{"watch", "--rate", "10"}
                                          << "bexen-ports: watch: unknown option \"--rate\"";

    // watch --check, demo: seconds as digits with an optional point, and their own limits
    QTest::newRow("watch --check max wait negative") << QStringList{"watch", "--check", "--max-wait", "-1"}
                                       << "bexen-ports: watch --check: --max-wait \"-1\" is not a number of seconds";
    QTest::newRow("watch --check max wait nan") << QStringList{"watch", "--check", "--max-wait", "nan"} << "--max-wait \"nan\" is not";
    QTest::newRow("watch --check max wait missing") << QStringList{"watch", "--check", "--max-wait"}
                                      << "--max-wait needs a number of seconds";
    QTest::newRow("watch --check duration exponent") << QStringList{"watch", "--check", "--duration", "1e3"}
                                       << "--duration \"1e3\" is not";
    QTest::newRow("watch --check duration with unit") << QStringList{"watch", "--check", "--duration=10s"}
                                        << "--duration \"10s\" is not";
    QTest::newRow("watch --check duration trailing point") << QStringList{"watch", "--check", "--duration", "10."}
                                             << "--duration \"10.\" is not";
    QTest::newRow("watch --check duration too long") << QStringList{"watch", "--check", "--duration", "1000001"}
                                       << "--duration \"1000001\" is not";
    QTest::newRow("watch --check interval zero") << QStringList{"watch", "--check", "--interval", "0"}
                                   << "interval \"0\" is not a whole number of milliseconds";
    QTest::newRow("watch --check unknown option") << QStringList{"watch", "--check", "--strict"}
                                    << "bexen-ports: watch --check: unknown option \"--strict\"";
    QTest::newRow("watch --check stray argument") << QStringList{"watch", "--check", "160"} << "unexpected argument \"160\"";
    QTest::newRow("watch --check dash before a digit") << QStringList{"watch", "--check", "-5"} << "unexpected argument \"-5\"";
    QTest::newRow("watch max wait without check") << QStringList{"watch", "--max-wait", "5"}
                                                  << "bexen-ports: watch: --max-wait requires --check";
    QTest::newRow("demo yellow shorter than two polls") << QStringList{"demo", "--yellow", "0.1"}
                                                   << "bexen-ports: demo: --yellow must be at least 0.2 s";
    QTest::newRow("demo all red zero") << QStringList{"demo", "--all-red", "0"} << "--all-red must be at least 0.2 s";
    QTest::newRow("demo negative minimum green") << QStringList{"demo", "--min-green", "-5"}
                                            << "--min-green \"-5\" is not a number of seconds";
    QTest::newRow("demo nan") << QStringList{"demo", "--red-yellow", "nan"} << "--red-yellow \"nan\" is not";
    QTest::newRow("demo infinite duration") << QStringList{"demo", "--duration", "inf"} << "--duration \"inf\" is not";
    QTest::newRow("demo comma decimal") << QStringList{"demo", "--yellow", "2,5"} << "--yellow \"2,5\" is not";
    QTest::newRow("demo value missing") << QStringList{"demo", "--min-green"} << "--min-green needs a number of seconds";
    QTest::newRow("demo max green below min green") << QStringList{"demo", "--min-green", "10", "--max-green", "5"}
                                               << "--max-green must not be shorter than --min-green (10.000 s)";
    QTest::newRow("demo unknown option") << QStringList{"demo", "--fast"} << "bexen-ports: demo: unknown option \"--fast\"";
    QTest::newRow("demo option twice") << QStringList{"demo", "--yellow", "2", "--yellow=3"}
                                       << "bexen-ports: demo: --yellow given twice";
    QTest::newRow("demo stray argument") << QStringList{"demo", "5"} << "bexen-ports: demo: unexpected argument \"5\"";

    // play: the whole script is read and found sound first. "@" stands for the private
    // directory, which holds the scripts s.txt, bad.txt and empty.txt.
    QTest::newRow("play bad line") << QStringList{"play", "@/bad.txt"}
                                   << "bexen-ports: play: @/bad.txt:2: light number \"9\" is not 1 to 4";
    QTest::newRow("play empty script") << QStringList{"play", "@/empty.txt"}
                                       << "bexen-ports: play: @/empty.txt: holds no step";
    QTest::newRow("play missing script") << QStringList{"play", "@/none.txt"}
                                         << "bexen-ports: play: @/none.txt: cannot be read";
    QTest::newRow("play directory") << QStringList{"play", "@"}
                                    << "bexen-ports: play: @: is a directory, not a script";
    QTest::newRow("play no script") << QStringList{"play"}
                                    << "bexen-ports: play: missing SCRIPT";
    QTest::newRow("play two scripts") << QStringList{"play", "@/s.txt", "@/s.txt"}
                                      << "bexen-ports: play: unexpected argument";
    QTest::newRow("play unknown option") << QStringList{"play", "--fast", "@/s.txt"}
                                         << "bexen-ports: play: unknown option \"--fast\"";

    // FILE names are relative to the private directory, the current one during the run.
    QTest::newRow("record no file") << QStringList{"record"}
                                    << "bexen-ports: record: missing FILE to record into";
    QTest::newRow("record two files")
            << QStringList{"record", "a.csv", "b.csv"}
            << "bexen-ports: record: unexpected argument \"b.csv\" after FILE \"a.csv\"";
    QTest::newRow("record format xml") << QStringList{"record", "--format", "xml", "a.csv"}
                                       << "bexen-ports: record: --format \"xml\" is neither csv nor vcd";
    QTest::newRow("record format missing") << QStringList{"record", "a.csv", "--format"}
                                           << "bexen-ports: record: --format needs csv or vcd";
    QTest::newRow("record duration junk")
            << QStringList{"record", "--duration", "soon", "a.csv"}
            << "bexen-ports: record: --duration \"soon\" is not a number of seconds";
    QTest::newRow("record duration negative") << QStringList{"record", "--duration=-3", "a.csv"}
                                              << "bexen-ports: record: --duration \"-3\" is not";
    QTest::newRow("record interval zero") << QStringList{"record", "--interval", "0", "a.csv"}
                                          << "bexen-ports: record: --interval \"0\" is not";
    QTest::newRow("record unknown option") << QStringList{"record", "--append", "a.csv"}
                                           << "bexen-ports: record: unknown option \"--append\"";

    // --file
    QTest::newRow("file without path") << QStringList{"get", "150", "--file"}
                                       << "bexen-ports: --file needs a PATH";
    QTest::newRow("file empty") << QStringList{"--file", "", "set", "150", "1"}
                                << "bexen-ports: --file needs a PATH, not an empty one";
    QTest::newRow("file empty with = after the command") << QStringList{"set", "150", "1", "--file="}
                                                         << "--file needs a PATH, not an empty one";
    QTest::newRow("file empty with =") << QStringList{"--file=", "set", "150", "1"}
                                       << "--file needs a PATH, not an empty one";
    QTest::newRow("file twice") << QStringList{"--file", "a", "--file", "b", "set", "150", "1"}
                                << "bexen-ports: --file given twice";
}

void TestPortsCommands::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expectedError);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    // A port file the emulator left; a bad command line must not change a byte of it.
    const QByteArray before = junctionFile(3, 1, 2, 3, 4);
    QVERIFY(tmp.writePortBytes(before));
    QVERIFY(writeFileBytes(tmp.filePath("s.txt"), "0 light 1 1\n"));
    QVERIFY(writeFileBytes(tmp.filePath("bad.txt"), "0 sensor 1 on\n1 sensor 9 on\n"));
    QVERIFY(writeFileBytes(tmp.filePath("empty.txt"), ""));
    for (QString &arg : args)
        arg.replace('@', tmp.path());
    expectedError.replace('@', tmp.path());

    // Run from the private directory, so a recording that was wrongly made would be seen there.
    const QString home = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tmp.path()));
    ManualClock clock;
    const CliOutcome o = runCli(args, clock);
    QVERIFY(QDir::setCurrent(home));

    const QString fault = refusalFault(o, expectedError);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    if (expectedError.startsWith("bexen-ports: "))
        QVERIFY2(o.err.startsWith(expectedError), qPrintable(o.err));
    // Refused before anything is touched or waited for.
    QCOMPARE(clock.elapsed(), milliseconds(0));
    QCOMPARE(tmp.portBytes(), before);
    QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                                        QDir::Name),
             (QStringList{"bad.txt", "empty.txt", "emu_port.dat", "s.txt"}));
}

void TestPortsCommands::setThenGet()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());

    const CliOutcome set = run({"set", "150", "5", "160", "4", "163", "255"});
    QCOMPARE(set.code, 0);
    QCOMPARE(set.out, QString());
    QCOMPARE(set.err, QString());

    // Port 163 is offset 63, so the new file is 64 bytes, zero but for offsets 50, 60 and 63.
    QByteArray expected(64, '\0');
    expected[50] = char(5);
    expected[60] = char(4);
    expected[63] = char(255);
    QCOMPARE(tmp.portBytes(), expected);

    const CliOutcome get = run({"get", "150", "160", "161", "163", "150"});
    QCOMPARE(get.code, 0);
    QCOMPARE(get.out, QString("5\n4\n0\n255\n5\n"));
    QCOMPARE(get.err, QString());

    // Leading zeros are still decimal: "010" is ten, not eight.
    QCOMPARE(run({"set", "0161", "010"}).code, 0);
    QCOMPARE(run({"get", "161"}).out, QString("10\n"));

    // The same port twice in one set: the later value stays.
    QCOMPARE(run({"set", "160", "1", "160", "3"}).code, 0);
    QCOMPARE(run({"get", "160"}).out, QString("3\n"));
}

void TestPortsCommands::readingCommandsCreateNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expectedOut");

    QTest::newRow("get") << QStringList{"get", "150", "160"} << "0\n0\n";
    QTest::newRow("dump") << QStringList{"dump"} << "";
    QTest::newRow("watch") << QStringList{"watch"} << "";
    QTest::newRow("where") << QStringList{"where"} << "";
}

void TestPortsCommands::readingCommandsCreateNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expectedOut);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const CliOutcome o = run(args);
    QCOMPARE(o.code, 0);
    QCOMPARE(o.err, QString());
    if (!expectedOut.isEmpty())
        QCOMPARE(o.out, expectedOut);
    QVERIFY(!QFileInfo::exists(tmp.portFile()));
    QVERIFY(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System
                                      | QDir::Hidden));
}

void TestPortsCommands::fileOption_data()
{
    QTest::addColumn<QString>("form");

    QTest::newRow("before the command") << "before";
    QTest::newRow("after the command") << "after";
    QTest::newRow("with =") << "equals";
}

void TestPortsCommands::fileOption()
{
    QFETCH(QString, form);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QTemporaryDir other;
    QVERIFY(other.isValid());
    const QString path = other.filePath("emulator-ports.bin");

    const auto withFile = [&](const QStringList &args) {
        if (form == "before")
            return QStringList{"--file", path} + args;
        if (form == "after")
            return args + QStringList{"--file", path};
        return QStringList{"--file=" + path} + args;
    };

    QCOMPARE(run(withFile({"set", "162", "3"})).code, 0);
    QByteArray expected(63, '\0');
    expected[62] = char(3);
    QCOMPARE(fileBytes(path), expected);
    QVERIFY2(!QFileInfo::exists(tmp.portFile()), "the temporary directory's file was made");

    QCOMPARE(run(withFile({"get", "162"})).out, QString("3\n"));
    QCOMPARE(run(withFile({"where"})).out, path + "\n");
    QVERIFY(run(withFile({"dump"})).out.contains("light 3 (port 162): 3 yellow\n"));
}

void TestPortsCommands::where()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const CliOutcome o = run({"where"});
    QCOMPARE(o.code, 0);
    QCOMPARE(o.out, tmp.path() + "/emu_port.dat\n");

    // The temporary directory is asked afresh: a changed TMPDIR moves the file.
    QTemporaryDir other;
    QVERIFY(other.isValid());
    qputenv("TMPDIR", (other.path() + "/").toLocal8Bit());
    QCOMPARE(run({"where"}).out, other.path() + "/emu_port.dat\n");
}

void TestPortsCommands::missingDirectoryFails_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("viaFileOption");

    QTest::newRow("get, --file") << QStringList{"get", "150"} << true;
    QTest::newRow("set, --file") << QStringList{"set", "150", "1"} << true;
    QTest::newRow("dump, --file") << QStringList{"dump"} << true;
    QTest::newRow("watch, --file") << QStringList{"watch"} << true;
    QTest::newRow("get, TMPDIR") << QStringList{"get", "150"} << false;
    QTest::newRow("set, TMPDIR") << QStringList{"set", "150", "1"} << false;
    QTest::newRow("dump, TMPDIR") << QStringList{"dump"} << false;
}

void TestPortsCommands::missingDirectoryFails()
{
    QFETCH(QStringList, args);
    QFETCH(bool, viaFileOption);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const QString dir = tmp.filePath("no-such-dir");
    const QString path = dir + "/emu_port.dat";
    if (viaFileOption)
        args << "--file" << path;
    else
        qputenv("TMPDIR", dir.toLocal8Bit());

    const CliOutcome o = run(args);
    QCOMPARE(o.code, 1);
    QVERIFY2(o.err.startsWith("bexen-ports: " + path + ": "), qPrintable(o.err));
    QCOMPARE(o.err.count(QLatin1Char('\n')), 1);
    QVERIFY(!QFileInfo::exists(dir));
}

void TestPortsCommands::fileOfAnotherUserFails()
{
#ifndef Q_OS_UNIX
    QSKIP("file owners are a POSIX matter");
#else
    if (::geteuid() != 0)
        QSKIP("giving a file to another user needs root");
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const QByteArray before = junctionFile(1, 4, 1, 4, 1);
    QVERIFY(tmp.writePortBytes(before));
    QCOMPARE(::chown(QFile::encodeName(tmp.portFile()).constData(), 4321, 4321), 0);

    for (const QStringList &args : {QStringList{"get", "150"}, QStringList{"set", "150", "0"},
                                    QStringList{"dump"}}) {
        const CliOutcome o = run(args);
        QCOMPARE(o.code, 1);
        QVERIFY2(o.err.startsWith("bexen-ports: " + tmp.portFile() + ": "), qPrintable(o.err));
        QVERIFY2(o.err.contains("another user"), qPrintable(o.err));
    }
    QCOMPARE(tmp.portBytes(), before);
#endif
}

void TestPortsCommands::temporaryDirectoryTooLong_data()
{
    QTest::addColumn<QStringList>("args");

    QTest::newRow("where") << QStringList{"where"};
    QTest::newRow("get") << QStringList{"get", "150"};
    QTest::newRow("set") << QStringList{"set", "150", "1"};
    QTest::newRow("dump") << QStringList{"dump"};
}

void TestPortsCommands::temporaryDirectoryTooLong()
{
    QFETCH(QStringList, args);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    // 600 characters: more than the 499 the directory query is given, so no file can be named.
    qputenv("TMPDIR", "/" + QByteArray(599, 'd'));
    const CliOutcome o = run(args);
    QCOMPARE(o.code, 1);
    QVERIFY2(o.err.startsWith("bexen-ports: emu_port.dat in the temporary directory: "),
             qPrintable(o.err));
    QVERIFY2(o.err.contains("600 characters"), qPrintable(o.err));
    QCOMPARE(o.out, QString());
}

void TestPortsCommands::dump_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no port file, and none is made
    QTest::addColumn<QStringList>("expectedLines");

    QTest::newRow("no file yet")
            << QByteArray()
            << QStringList{"sensors (port 150): 0 = 00000000, no car waiting",
                           "light 1 (port 160): 0 dark", "light 2 (port 161): 0 dark",
                           "light 3 (port 162): 0 dark", "light 4 (port 163): 0 dark"};
    QTest::newRow("all dark, no car")
            << junctionFile(0, 0, 0, 0, 0)
            << QStringList{"sensors (port 150): 0 = 00000000, no car waiting",
                           "light 1 (port 160): 0 dark", "light 2 (port 161): 0 dark",
                           "light 3 (port 162): 0 dark", "light 4 (port 163): 0 dark"};
    QTest::newRow("every light value")
            << junctionFile(1, 1, 2, 3, 4)
            << QStringList{"sensors (port 150): 1 = 00000001, car waiting at light 1",
                           "light 1 (port 160): 1 red", "light 2 (port 161): 2 red and yellow",
                           "light 3 (port 162): 3 yellow", "light 4 (port 163): 4 green"};
    QTest::newRow("two cars, values out of range")
            << junctionFile(5, 5, 255, 128, 0)
            << QStringList{"sensors (port 150): 5 = 00000101, cars waiting at lights 1 and 3",
                           "light 1 (port 160): 5 out of range, shown dark",
                           "light 2 (port 161): 255 out of range, shown dark",
                           "light 3 (port 162): 128 out of range, shown dark",
                           "light 4 (port 163): 0 dark"};
    QTest::newRow("every car")
            << junctionFile(15, 4, 1, 4, 1)
            << QStringList{"sensors (port 150): 15 = 00001111, cars waiting at lights 1, 2, 3 and 4",
                           "light 1 (port 160): 4 green", "light 2 (port 161): 1 red",
                           "light 3 (port 162): 4 green", "light 4 (port 163): 1 red"};
    // Bits 4 to 7 are no sensor's: shown, but no car.
    QTest::newRow("high bits only")
            << junctionFile(0xA8, 1, 1, 1, 1)
            << QStringList{"sensors (port 150): 168 = 10101000, car waiting at light 4",
                           "light 1 (port 160): 1 red", "light 2 (port 161): 1 red",
                           "light 3 (port 162): 1 red", "light 4 (port 163): 1 red"};
    // The panel has written the sensor byte but the emulated program no light yet: the file
    // ends at offset 50 and the lights past its end read 0.
    QTest::newRow("short file")
            << QByteArray(51, char(2))
            << QStringList{"sensors (port 150): 2 = 00000010, car waiting at light 2",
                           "light 1 (port 160): 0 dark", "light 2 (port 161): 0 dark",
                           "light 3 (port 162): 0 dark", "light 4 (port 163): 0 dark"};
}

void TestPortsCommands::dump()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expectedLines);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    if (!file.isNull())
        QVERIFY(tmp.writePortBytes(file));
    const CliOutcome o = run({"dump"});
    QCOMPARE(o.code, 0);
    QCOMPARE(o.err, QString());
    const QStringList lines = o.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), "port file: " + tmp.portFile()
                     + (file.isNull() ? " (not there yet: every port reads 0)" : ""));
    QCOMPARE(lines.mid(1), expectedLines + QStringList{""});
    QCOMPARE(QFileInfo::exists(tmp.portFile()), !file.isNull());
    QCOMPARE(tmp.portBytes(), file);
}

void TestPortsCommands::watchPrintsEachChange_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no port file at the start
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("writes"); // port=value@ms, made while the watch runs
    QTest::addColumn<QStringList>("expected");

    // The emulator and the panel at work while the watch polls every 100 ms: each change is in
    // the file by the poll at its time. 162=1 is written again with the value it has, and port
    // 170 is no port of the junction: neither is reported.
    QTest::newRow("every change")
            << junctionFile(0, 1, 1, 1, 1) << QStringList{"watch"}
            << "160=2@200 160=4@300 150=2@500 161=9@500 162=1@600 170=4@700"
            << QStringList{
                       "2026-12-08 14:03:07.412  sensors (port 150): 0 = 00000000, no car waiting",
                       "2026-12-08 14:03:07.412  light 1 (port 160): 1 red",
                       "2026-12-08 14:03:07.412  light 2 (port 161): 1 red",
                       "2026-12-08 14:03:07.412  light 3 (port 162): 1 red",
                       "2026-12-08 14:03:07.412  light 4 (port 163): 1 red",
                       "2026-12-08 14:03:07.612  light 1 (port 160): 2 red and yellow",
                       "2026-12-08 14:03:07.712  light 1 (port 160): 4 green",
                       "2026-12-08 14:03:07.912  sensors (port 150): 2 = 00000010, car waiting at light 2",
                       "2026-12-08 14:03:07.912  light 2 (port 161): 9 out of range, shown dark",
                       ""};
    // Polls at 250, 500, 750 ms: a change made just after the first shows at the second.
    QTest::newRow("another interval")
            << QByteArray() << QStringList{"watch", "--interval", "250"} << "163=3@260"
            << QStringList{
                       "2026-12-08 14:03:07.412  sensors (port 150): 0 = 00000000, no car waiting",
                       "2026-12-08 14:03:07.412  light 1 (port 160): 0 dark",
                       "2026-12-08 14:03:07.412  light 2 (port 161): 0 dark",
                       "2026-12-08 14:03:07.412  light 3 (port 162): 0 dark",
                       "2026-12-08 14:03:07.412  light 4 (port 163): 0 dark",
                       "2026-12-08 14:03:07.912  light 4 (port 163): 3 yellow",
                       ""};
}

void TestPortsCommands::watchPrintsEachChange()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, args);
    QFETCH(QString, writes);
    QFETCH(QStringList, expected);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    if (!file.isNull())
        QVERIFY(tmp.writePortBytes(file));
    ManualClock clock(kWatchStart);
    WriteTimeline timeline(parseWrites(writes));
    clock.onAdvance = [&](ManualClock &c) {
        timeline.apply(c.elapsed(), [&](std::int32_t port, std::uint8_t value) {
            QVERIFY(!bexen::io::writePortByte(port, value, tmp.portFileStd()));
        });
    };
    const CliOutcome o = runCli(args, clock, [&] { return clock.elapsed() >= seconds(1); });

    QCOMPARE(o.code, 0);
    QCOMPARE(o.err, QString());
    QCOMPARE(o.out.split(QLatin1Char('\n')), expected);
    QVERIFY(timeline.done());
}

void TestPortsCommands::watchStopsOnCtrlC_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("seen"); // part of the output

    QTest::newRow("watch") << QStringList{"watch"} << "light 1 (port 160): 4 green\n";
    // However long the interval, Ctrl-C is answered within a poll of the panel.
    QTest::newRow("watch, an hour's interval")
            << QStringList{"watch", "--interval", "3600000"} << "light 4 (port 163): 0 dark\n";
    QTest::newRow("watch --check, an hour's interval")
            << QStringList{"watch", "--check", "--interval", "3600000"}
            << "summary: 0.300 s checked, no violations\n";
}

void TestPortsCommands::watchStopsOnCtrlC()
{
    QFETCH(QStringList, args);
    QFETCH(QString, seen);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const std::string path = tmp.portFileStd();

    ManualClock clock(kWatchStart);
    clock.onAdvance = [&](ManualClock &c) {
        if (c.elapsed() == milliseconds(200))
            bexen::io::writePortByte(160, 4, path);
        if (c.elapsed() == milliseconds(300))
            requestStop();
        // Were the stop missed, the watch would run on; this change must never be printed.
        if (c.elapsed() == milliseconds(400))
            bexen::io::writePortByte(161, 4, path);
        QVERIFY(c.elapsed() < seconds(5));
    };
    const CliOutcome o = runCli(args, clock, [&] { return clock.elapsed() >= seconds(5); });
    clearStopRequest();
    QCOMPARE(o.code, 0);
    QVERIFY2(o.out.contains(seen), qPrintable(o.out));
    QVERIFY2(!o.out.contains("light 2 (port 161): 4"), qPrintable(o.out));
    QCOMPARE(clock.elapsed(), milliseconds(300));
}

void TestPortsCommands::portFileBecomesADirectory_data()
{
    QTest::addColumn<QStringList>("args"); // "@" stands for the private directory
    QTest::addColumn<int>("atMs"); // when the directory takes the file's place; 0: from the start
    QTest::addColumn<int>("failsAtMs"); // the first access after that

    QTest::newRow("watch, from the start") << QStringList{"watch"} << 0 << 0;
    QTest::newRow("watch, during the run") << QStringList{"watch"} << 300 << 300;
    QTest::newRow("watch --check, from the start")
            << QStringList{"watch", "--check", "--duration", "1"} << 0 << 0;
    QTest::newRow("watch --check, during the run")
            << QStringList{"watch", "--check", "--duration", "2"} << 500 << 500;
    // The demo reads the sensors at every poll, even while all lights are red.
    QTest::newRow("demo, from the start") << QStringList{"demo", "--duration", "1"} << 0 << 0;
    QTest::newRow("demo, during the run") << QStringList{"demo"} << 500 << 500;
    // The script's second step is due at 1 s.
    QTest::newRow("play, from the start") << QStringList{"play", "@/s.txt"} << 0 << 0;
    QTest::newRow("play, during the run") << QStringList{"play", "@/s.txt"} << 500 << 1000;
}

void TestPortsCommands::portFileBecomesADirectory()
{
    QFETCH(QStringList, args);
    QFETCH(int, atMs);
    QFETCH(int, failsAtMs);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeFileBytes(tmp.filePath("s.txt"), "0 light 1 1\n1 light 1 2\n"));
    for (QString &arg : args)
        arg.replace('@', tmp.path());
    const auto plantDirectory = [&] {
        QVERIFY(!QFileInfo::exists(tmp.portFile()) || QFile::remove(tmp.portFile()));
        QVERIFY(QDir(tmp.path()).mkdir("emu_port.dat"));
    };
    if (atMs == 0)
        plantDirectory();
    else
        QVERIFY(tmp.writePortBytes(junctionFile(0, 1, 1, 1, 1)));

    ManualClock clock(kWatchStart);
    clock.onAdvance = [&](ManualClock &c) {
        if (c.elapsed() == milliseconds(atMs))
            plantDirectory();
    };
    const CliOutcome o = runCli(args, clock, [&] { return clock.elapsed() >= seconds(3); });
    QCOMPARE(o.code, 1);
    QVERIFY2(o.err.startsWith("bexen-ports: " + tmp.portFile() + ": "), qPrintable(o.err));
    QVERIFY2(o.err.contains("is a directory", Qt::CaseInsensitive), qPrintable(o.err));
    QCOMPARE(o.err.count(QLatin1Char('\n')), 1);
    QCOMPARE(clock.elapsed(), milliseconds(failsAtMs));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files), QStringList{"s.txt"});
}

void TestPortsCommands::help_data()
{
    QTest::addColumn<QStringList>("args");

    // The whole tool's help, however it is asked for; a word that is no command changes nothing.
    QTest::newRow("--help") << QStringList{"--help"};
    QTest::newRow("-h") << QStringList{"-h"};
    QTest::newRow("before a stray word") << QStringList{"--help", "nonsense"};
    QTest::newRow("after a stray word") << QStringList{"nonsense", "--help"};
}

void TestPortsCommands::help()
{
    QFETCH(QStringList, args);

    const CliOutcome o = run(args);
    QCOMPARE(o.code, 0);
    QCOMPARE(o.err, QString());
    QVERIFY(o.out.startsWith("Usage: bexen-ports [--file PATH] COMMAND [ARGUMENTS]...\n"));
    // Every command, and every option of every command, one to a line: a manual page is made
    // from this help.
    for (const char *line : {"\n  where ", "\n  get PORT... ", "\n  set PORT VALUE [PORT VALUE]... ",
                             "\n  dump ", "\n  watch [OPTIONS] ", "\n  demo [OPTIONS] ",
                             "\n  record [OPTIONS] FILE ", "\n  play SCRIPT ",
                             "\n  chart [OPTIONS] RECORDING OUT ", "\n  --file PATH ",
                             "\n  -h, --help ", "\n  --version ", "\n  --interval MS ",
                             "\n  --check ", "\n  --max-wait S ", "\n  --duration S ",
                             "\n  --min-green S ", "\n  --max-green S ", "\n  --yellow S ",
                             "\n  --red-yellow S ", "\n  --all-red S ", "\n  --format F ",
                             "\n  SCRIPT ", "\n  RECORDING ", "\n  OUT ", "\n  --from S ",
                             "\n  --to S ", "\nExit status: "})
        QVERIFY2(o.out.contains(QLatin1String(line)), line);
    for (const QString &line : o.out.split('\n'))
        QVERIFY2(line.size() <= 80, qPrintable(line));
}

void TestPortsCommands::commandHelp_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("usage"); // the first line
    QTest::addColumn<QString>("option"); // a line of the command's options

    // --help wins over the command's own work and over a bad value, wherever it stands.
    QTest::newRow("set, after its pairs") << QStringList{"set", "150", "1", "--help"}
            << "Usage: bexen-ports [--file PATH] set PORT VALUE [PORT VALUE]..." << "";
    QTest::newRow("get, after a bad port") << QStringList{"get", "99", "-h"}
            << "Usage: bexen-ports [--file PATH] get PORT..." << "";
    QTest::newRow("demo, after a bad value") << QStringList{"demo", "--yellow", "0.1", "--help"}
            << "Usage: bexen-ports [--file PATH] demo [OPTIONS]" << "\n  --yellow S ";
    QTest::newRow("watch, before its options") << QStringList{"watch", "--help", "--interval", "0"}
            << "Usage: bexen-ports [--file PATH] watch [OPTIONS]" << "\n  --interval MS ";
    QTest::newRow("record, --file after it") << QStringList{"record", "--help", "--file", "x"}
            << "Usage: bexen-ports [--file PATH] record [OPTIONS] FILE" << "\n  --format F ";
}

void TestPortsCommands::commandHelp()
{
    QFETCH(QStringList, args);
    QFETCH(QString, usage);
    QFETCH(QString, option);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const CliOutcome o = run(args);
    QCOMPARE(o.code, 0);
    QCOMPARE(o.err, QString());
    QCOMPARE(o.out.section('\n', 0, 0), usage);
    QVERIFY2(o.out.contains(option), qPrintable(o.out));
    QVERIFY(o.out.contains("\nExit status: "));
    // Help fits an 80-column terminal, and a manual page made from it.
    for (const QString &line : o.out.split('\n'))
        QVERIFY2(line.size() <= 80, qPrintable(line));
    QVERIFY(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void TestPortsCommands::version()
{
    const CliOutcome o = run({"--version"});
    QCOMPARE(o.code, 0);
    static const QRegularExpression re("^bexen-ports \\d+\\.\\d+\\.\\d+\n$");
    QVERIFY2(re.match(o.out).hasMatch(), qPrintable(o.out));
}

QTEST_GUILESS_MAIN(TestPortsCommands)
#include "tst_ports_commands.moc"
