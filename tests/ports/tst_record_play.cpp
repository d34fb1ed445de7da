// SPDX-License-Identifier: MIT
#include "commands/cli.h"
#include "commands/play.h"
#include "shared/interrupt.h"
#include "commands/recorder.h"
#include "junction_fake.h"
#include "model/script.h"
#include "support/private_tmpdir.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

#include <map>
#include <set>
#include <sstream>

using namespace bexen::ports;
using namespace std::chrono;

namespace {

// The junction's history for the record-and-replay tests: every signal changes at least 0.2 s
// after its last change, and the times fall on the 100 ms polls.
const std::vector<TimedWrite> kHistory{
        {milliseconds(300), 160, 1},  {milliseconds(300), 162, 1},  {milliseconds(700), 150, 2},
        {milliseconds(1000), 160, 2}, {milliseconds(1000), 162, 2}, {milliseconds(2000), 160, 4},
        {milliseconds(2000), 162, 4}, {milliseconds(2500), 150, 10}, {milliseconds(2800), 150, 8},
        {milliseconds(3100), 161, 9}, {milliseconds(3400), 161, 0}, {milliseconds(4000), 160, 3},
        {milliseconds(4000), 162, 3},
};

// What a waveform viewer needs of a value change dump, checked token by token: every header
// section closed by $end, a timescale of 1 ms, five 8-bit wires with their own identifiers in a
// scope, $enddefinitions, then a $dumpvars block with every wire, and time stamps that only go
// forwards, each followed by "b<bits> <id>" changes. The values are replayed into `changes`.
QString validateVcd(const QString &text, std::vector<TimedWrite> &changes)
{
    const QStringList tokens = text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    std::map<QString, std::int32_t> ports; // identifier -> port
    int i = 0;
    bool timescale = false;
    int scopes = 0;
    const auto next = [&]() -> QString { return i < tokens.size() ? tokens[i++] : QString(); };
    for (;;) {
        const QString keyword = next();
        if (keyword.isEmpty())
            return "no $enddefinitions";
        if (keyword == "$enddefinitions") {
            if (next() != "$end")
                return "$enddefinitions not closed";
            break;
        }
        QStringList body;
        for (QString t = next(); t != "$end"; t = next()) {
            if (t.isEmpty())
                return keyword + " not closed";
            body << t;
        }
        if (keyword == "$timescale") {
            timescale = body.join(' ') == "1 ms";
        } else if (keyword == "$scope") {
            if (body != QStringList{"module", "junction"})
                return "scope " + body.join(' ');
            ++scopes;
        } else if (keyword == "$upscope") {
            --scopes;
        } else if (keyword == "$var") {
            if (scopes != 1 || body.size() != 5 || body[0] != "wire" || body[1] != "8" || body[4] != "[7:0]")
                return "bad $var " + body.join(' ');
            if (ports.count(body[2]))
                return "identifier used twice: " + body[2];
            const QRegularExpressionMatch m = QRegularExpression("port(\\d+)$").match(body[3]);
            if (!m.hasMatch())
                return "no port in the name " + body[3];
            ports[body[2]] = m.captured(1).toInt();
        } else if (keyword != "$date" && keyword != "$version" && keyword != "$comment") {
            return "unexpected " + keyword;
        }
    }
    if (!timescale)
        return "timescale is not 1 ms";
    if (scopes != 0 || ports.size() != 5)
        return "scopes or wires wrong";

    qint64 now = -1;
    std::set<QString> dumped;
    bool inDump = false;
    const QRegularExpression valueChange("^b([01]{1,8})$");
    while (i < tokens.size()) {
        const QString t = next();
        if (t.startsWith('#')) {
            bool ok = false;
            const qint64 stamp = t.mid(1).toLongLong(&ok);
            if (!ok || stamp <= now)
                return "time stamp " + t + " after " + QString::number(now);
            now = stamp;
        } else if (t == "$dumpvars") {
            if (now != 0)
                return "$dumpvars not at #0";
            inDump = true;
        } else if (t == "$end" && inDump) {
            inDump = false;
            if (dumped.size() != 5)
                return "$dumpvars without every wire";
        } else {
            const QRegularExpressionMatch m = valueChange.match(t);
            const QString id = next();
            if (!m.hasMatch() || !ports.count(id) || now < 0)
                return "bad value change " + t + " " + id;
            if (inDump)
                dumped.insert(id);
            changes.push_back({milliseconds(now), ports[id],
                               static_cast<std::uint8_t>(m.captured(1).toUInt(nullptr, 2))});
        }
    }
    return inDump ? "$dumpvars not closed" : QString();
}

// The start state and kHistory, as a recording polled every 100 ms shows them, and the sensors
// again when the recording ends at 4.5 s.
const QString kHistoryCsv = "time_s,port,value\n"
                            "0.000,150,0\n0.000,160,0\n0.000,161,0\n0.000,162,0\n0.000,163,0\n"
                            "0.300,160,1\n0.300,162,1\n0.700,150,2\n1.000,160,2\n1.000,162,2\n"
                            "2.000,160,4\n2.000,162,4\n2.500,150,10\n2.800,150,8\n3.100,161,9\n"
                            "3.400,161,0\n4.000,160,3\n4.000,162,3\n4.500,150,8\n";

} // namespace

class TestRecordPlay : public QObject {
    Q_OBJECT

private slots:
    void init() { clearStopRequest(); }

    void recordsVcd();
    void recordingStopsOnCtrlC_data();
    void recordingStopsOnCtrlC();
    void recordThenPlayOnRealFiles();

    void parsesScripts_data();
    void parsesScripts();
    void rejectsBadScripts_data();
    void rejectsBadScripts();
    void playHoldsEachChange_data();
    void playHoldsEachChange();
    void sensorStepKeepsTheOtherCars();
    void playStopsOnCtrlC();
    void playFailingPortFile();

    void recordNeverOverwritesThePortFile();
    void recordFailingPortFile();
};

void TestRecordPlay::recordsVcd()
{
    ManualClock clock;
    FakeJunction junction(clock);
    junction.state().lights = {1, 1, 1, 1};
    WriteTimeline history(kHistory);
    clock.onAdvance = [&](ManualClock &c) {
        history.apply(c.elapsed(), [&](std::int32_t p, std::uint8_t v) { setPortByte(junction.state(), p, v); });
    };
    std::ostringstream out;
    const auto sink = makeRecordSink(RecordFormat::Vcd, out);
    RecordOptions options;
    options.duration = milliseconds(4750);
    options.interval = milliseconds(50);
    recordJunction(junction, clock, *sink, options, {});

    const QString text = QString::fromStdString(out.str());
    std::vector<TimedWrite> changes;
    const QString error = validateVcd(text, changes);
    QVERIFY2(error.isEmpty(), qPrintable(error + "\n" + text));
    // The start (all red, 300 ms changes to red are then no change) and the history after it.
    QCOMPARE(writesText(changes),
             QString("150=0@0 160=1@0 161=1@0 162=1@0 163=1@0 150=2@700 160=2@1000 162=2@1000 "
                     "160=4@2000 162=4@2000 150=10@2500 150=8@2800 161=9@3100 161=0@3400 "
                     "160=3@4000 162=3@4000"));
    // The closing stamp carries the last values to the end of the recording.
    QVERIFY(text.endsWith("#4750\n"));
    QVERIFY(text.contains("b00001010 S\n"));
}

void TestRecordPlay::recordingStopsOnCtrlC_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<QString>("recorded");

    const QString start = "time_s,port,value\n0.000,150,0\n0.000,160,0\n0.000,161,0\n0.000,162,0\n"
                          "0.000,163,0\n";
    // The last row is the sensors again at 2 s, when Ctrl-C ended the recording.
    QTest::newRow("panel's interval") << 100 << start + "1.200,161,1\n2.000,150,0\n";
    // However long the interval, Ctrl-C is answered within a poll of the panel.
    QTest::newRow("an hour's interval") << 3'600'000 << start + "2.000,150,0\n";
}

void TestRecordPlay::recordingStopsOnCtrlC()
{
    QFETCH(int, intervalMs);
    QFETCH(QString, recorded);

    ManualClock clock;
    FakeJunction junction(clock);
    clock.onAdvance = [&](ManualClock &c) {
        if (c.elapsed() == milliseconds(1200))
            junction.writeLight(2, 1);
        if (c.elapsed() == milliseconds(2000))
            requestStop();
    };
    std::ostringstream out;
    const auto sink = makeRecordSink(RecordFormat::Csv, out);
    RecordOptions options;
    options.interval = milliseconds(intervalMs);
    recordJunction(junction, clock, *sink, options, stopRequested);
    QCOMPARE(clock.elapsed(), milliseconds(2000));
    QCOMPARE(QString::fromStdString(out.str()), recorded);
}

void TestRecordPlay::recordThenPlayOnRealFiles()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const QString csv = tmp.filePath("junction.csv");
    const QString vcd = tmp.filePath("junction.vcd");
    for (const QStringList &args : {QStringList{"record", "--duration", "4.5", csv},
                                    QStringList{"record", "--format", "vcd", "--duration=4.5", vcd}}) {
        QVERIFY(QFile::remove(tmp.portFile()) || !QFile::exists(tmp.portFile()));
        WriteTimeline history(kHistory);
        ManualClock clock;
        clock.onAdvance = [&](ManualClock &c) {
            history.apply(c.elapsed(), [&](std::int32_t p, std::uint8_t v) {
                QVERIFY(!bexen::io::writePortByte(p, v, tmp.portFileStd()));
            });
        };
        const CliOutcome o = runCli(args, clock);
        QCOMPARE(o.code, 0);
        QCOMPARE(o.out, QString());
        QVERIFY(o.err.startsWith("recording ports 150 and 160-163 of " + tmp.portFile()));
    }
    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(csvFile.readAll()), kHistoryCsv);
    QFile vcdFile(vcd);
    QVERIFY(vcdFile.open(QIODevice::ReadOnly));
    std::vector<TimedWrite> vcdChanges;
    const QString vcdError = validateVcd(QString::fromUtf8(vcdFile.readAll()), vcdChanges);
    QVERIFY2(vcdError.isEmpty(), qPrintable(vcdError));
    QCOMPARE(vcdChanges.size(), std::size_t(5) + kHistory.size());

    // Replayed into another port file, as another machine would.
    PrivateTmpDir other;
    QVERIFY(other.isValid());
    ManualClock clock;
    const CliOutcome o = runCli({"play", csv}, clock);
    QCOMPARE(o.code, 0);
    QCOMPARE(o.err, QString());
    QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.takeFirst(), "play: 19 steps from " + csv + " on " + other.portFile());
    // "4.000 s  line 18: port 162 3; port 162 = 3": when each byte was written, and what.
    std::vector<TimedWrite> written;
    const QRegularExpression line("^(\\d+)\\.(\\d{3}) s  line \\d+: .*; port (\\d+) = (\\d+)$");
    for (const QString &l : lines) {
        const QRegularExpressionMatch m = line.match(l);
        QVERIFY2(m.hasMatch(), qPrintable(l));
        written.push_back({milliseconds(m.captured(1).toInt() * 1000 + m.captured(2).toInt()),
                           m.captured(3).toInt(), static_cast<std::uint8_t>(m.captured(4).toInt())});
    }
    std::vector<TimedWrite> expected{{milliseconds(0), 150, 0}, {milliseconds(0), 160, 0},
                                 {milliseconds(0), 161, 0}, {milliseconds(0), 162, 0},
                                 {milliseconds(0), 163, 0}};
    expected.insert(expected.end(), kHistory.begin(), kHistory.end());
    expected.push_back({milliseconds(4500), 150, 8}); // the end row: the sensors as they were
    QCOMPARE(writesText(written), writesText(expected));
    for (std::int32_t port : kJunctionPorts) {
        const auto a = bexen::io::readPortByte(port, tmp.portFileStd(), bexen::io::WhenMissing::ReadZero);
        const auto b = bexen::io::readPortByte(port, other.portFileStd(), bexen::io::WhenMissing::ReadZero);
        QVERIFY(!a.error && !b.error);
        QCOMPARE(b.value, a.value);
    }
}

void TestRecordPlay::parsesScripts_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("steps"); // line:ms:port:mask:value

    QTest::newRow("sensor on") << QByteArray("1.5 sensor 1 on\n") << "1:1500:150:1:1";
    QTest::newRow("sensor off") << QByteArray("2 sensor 4 off") << "1:2000:150:8:0";
    QTest::newRow("light") << QByteArray("3 light 2 4\n") << "1:3000:161:255:4";
    QTest::newRow("light out of range for a checker") << QByteArray("0 light 3 255") << "1:0:162:255:255";
    QTest::newRow("comments and blank lines")
            << QByteArray("# a car comes\n\n  0.25\tsensor 3 on   # and waits\n#\n10 sensor 3 off\n")
            << "3:250:150:4:4 5:10000:150:4:0";
    QTest::newRow("windows line ends") << QByteArray("1 light 1 1\r\n2 light 1 2\r\n")
                                       << "1:1000:160:255:1 2:2000:160:255:2";
    QTest::newRow("same time twice") << QByteArray("1 sensor 1 on\n1 sensor 2 on\n")
                                     << "1:1000:150:1:1 2:1000:150:2:2";
    QTest::newRow("milliseconds rounded") << QByteArray("0.0004 light 4 1\n0.0015 light 4 0\n")
                                          << "1:0:163:255:1 2:2:163:255:0";
    QTest::newRow("a recording") << QByteArray("time_s,port,value\n0.000,150,3\n1.250,163,4\n")
                                 << "2:0:150:255:3 3:1250:163:255:4";
}

void TestRecordPlay::parsesScripts()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, steps);
    const ParsedPlay parsed = parsePlayText(script.toStdString());
    QVERIFY2(!parsed.error, parsed.error ? parsed.error->what.c_str() : "");
    QStringList got;
    for (const PlayStep &s : parsed.steps)
        got << QString("%1:%2:%3:%4:%5").arg(s.line).arg(s.at.count()).arg(s.port).arg(s.mask).arg(s.value);
    QCOMPARE(got.join(' '), steps);
}

void TestRecordPlay::rejectsBadScripts_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("what");

    QTest::newRow("comma decimal") << QByteArray("1,5 sensor 1 on") << 1
                                   << "time \"1,5\" is not a number of seconds";
    QTest::newRow("negative time") << QByteArray("1 sensor 1 on\n-1 sensor 1 off") << 2
                                   << "time \"-1\" is not";
    QTest::newRow("nan time") << QByteArray("nan light 1 1") << 1 << "time \"nan\" is not";
    QTest::newRow("time going back") << QByteArray("2 sensor 1 on\n\n1.5 sensor 1 off\n") << 3
                                     << "time 1.500 s comes before the previous step's 2.000 s";
    QTest::newRow("time alone") << QByteArray("# x\n3\n") << 2 << "the time needs a step after it";
    QTest::newRow("unknown step") << QByteArray("1 lamp 1 4") << 1
                                  << "unknown step \"lamp\"; a step is sensor or light";
    QTest::newRow("capital step") << QByteArray("1 Sensor 1 on") << 1 << "unknown step \"Sensor\"";
    QTest::newRow("sensor 5") << QByteArray("1 sensor 5 on") << 1 << "light number \"5\" is not 1 to 4";
    QTest::newRow("sensor 0") << QByteArray("1 sensor 0 on") << 1 << "light number \"0\" is not 1 to 4";
    QTest::newRow("sensor maybe") << QByteArray("1 sensor 1 maybe") << 1 << "\"maybe\" is neither on nor off";
    QTest::newRow("sensor short") << QByteArray("1 sensor 1") << 1
                                  << "sensor needs a light number 1 to 4 and on or off";
    QTest::newRow("light 256") << QByteArray("1 light 1 256") << 1
                               << "light value \"256\" is not a whole number 0 to 255";
    QTest::newRow("light by name") << QByteArray("1 light 1 green") << 1 << "light value \"green\" is not";
    QTest::newRow("light short") << QByteArray("1 light 2") << 1
                                 << "light needs a light number 1 to 4 and a value 0 to 255";
    QTest::newRow("trailing word") << QByteArray("1 light 2 4 now") << 1 << "unexpected \"now\" after the step";
    QTest::newRow("control bytes") << QByteArray("1 sensor \x1b[2J on") << 1
                                   << "light number \"\\x1b[2J\" is not 1 to 4";
    QTest::newRow("nothing") << QByteArray("") << 0 << "holds no step";
    QTest::newRow("only comments") << QByteArray("# nothing yet\n\n") << 0 << "holds no step";

    QTest::newRow("recording bad port") << QByteArray("time_s,port,value\n0.000,149,1\n") << 2
                                        << "port \"149\" is not 150 or 160 to 163";
    QTest::newRow("recording bad value") << QByteArray("time_s,port,value\n0.000,160,1\n1.000,160,300\n")
                                         << 3 << "value \"300\" is not a whole number 0 to 255";
    QTest::newRow("recording short row") << QByteArray("time_s,port,value\n0.000,160\n") << 2
                                         << "a row is time_s,port,value";
    QTest::newRow("recording long row") << QByteArray("time_s,port,value\n0.000,160,1,2\n") << 2
                                        << "a row is time_s,port,value";
    QTest::newRow("recording going back") << QByteArray("time_s,port,value\n2,160,1\n1,160,2\n") << 3
                                          << "comes before the previous step's";
    QTest::newRow("recording without rows") << QByteArray("time_s,port,value\n") << 0 << "holds no row";
}

void TestRecordPlay::rejectsBadScripts()
{
    QFETCH(QByteArray, script);
    QFETCH(int, line);
    QFETCH(QString, what);
    const ParsedPlay parsed = parsePlayText(script.toStdString());
    QVERIFY(parsed.error);
    QVERIFY(parsed.steps.empty());
    QCOMPARE(parsed.error->line, line);
    QVERIFY2(QString::fromStdString(parsed.error->what).contains(what), parsed.error->what.c_str());
}

void TestRecordPlay::playHoldsEachChange_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("writes");

    QTest::newRow("on and off too soon") << QByteArray("0 sensor 1 on\n0.1 sensor 1 off")
                                         << "150=1@0 150=0@200";
    QTest::newRow("two cars are two signals") << QByteArray("0 sensor 1 on\n0.1 sensor 2 on")
                                              << "150=1@0 150=3@100";
    QTest::newRow("a quick light waits, and so do the steps after it")
            << QByteArray("0 light 1 1\n0.05 light 1 2\n0.1 light 2 1\n0.3 light 1 4\n1 light 1 3")
            << "160=1@0 160=2@200 161=1@200 160=4@400 160=3@1000";
    QTest::newRow("the same value again is no change") << QByteArray("0 light 2 4\n0.1 light 2 4")
                                                       << "161=4@0 161=4@100";
    QTest::newRow("far enough apart") << QByteArray("0.5 sensor 3 on\n0.7 sensor 3 off\n0.9 sensor 3 on")
                                      << "150=4@500 150=0@700 150=4@900";
}

void TestRecordPlay::playHoldsEachChange()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, writes);
    const ParsedPlay parsed = parseScript(script.toStdString());
    QVERIFY(!parsed.error);
    ManualClock clock;
    FakeJunction junction(clock);
    std::ostringstream log;
    playSteps(junction, clock, parsed.steps, log, {});
    QCOMPARE(writesText(junction.writes), writes);
}

void TestRecordPlay::sensorStepKeepsTheOtherCars()
{
    ManualClock clock;
    FakeJunction junction(clock);
    junction.state().sensors = 0b1010; // cars at lights 2 and 4
    const ParsedPlay parsed = parseScript("0 sensor 1 on\n0.5 sensor 4 off\n1 sensor 2 on\n");
    QVERIFY(!parsed.error);
    std::ostringstream log;
    playSteps(junction, clock, parsed.steps, log, {});
    QCOMPARE(writesText(junction.writes), QString("150=11@0 150=3@500 150=3@1000"));
    QCOMPARE(QString::fromStdString(log.str()),
             QString("0.000 s  line 1: 0 sensor 1 on; port 150 = 11\n"
                     "0.500 s  line 2: 0.5 sensor 4 off; port 150 = 3\n"
                     "1.000 s  line 3: 1 sensor 2 on; port 150 = 3\n"));
}

void TestRecordPlay::playStopsOnCtrlC()
{
    ManualClock clock;
    FakeJunction junction(clock);
    clock.onAdvance = [](ManualClock &c) {
        if (c.elapsed() == seconds(3))
            requestStop();
    };
    const ParsedPlay parsed = parseScript("1 light 1 1\n60 light 1 2\n");
    std::ostringstream log;
    const PlayOutcome outcome = playSteps(junction, clock, parsed.steps, log, stopRequested);
    QVERIFY(outcome.stopped);
    QCOMPARE(outcome.done, std::size_t(1));
    QCOMPARE(clock.elapsed(), seconds(3));
    QVERIFY(QString::fromStdString(log.str()).endsWith("3.000 s  stopped before line 2\n"));
}

void TestRecordPlay::playFailingPortFile()
{
    ManualClock clock;
    FakeJunction junction(clock);
    junction.failAfter = 1;
    const ParsedPlay parsed = parseScript("0 light 1 1\n1 light 1 2\n");
    std::ostringstream log;
    QVERIFY_THROWS_EXCEPTION(PortFailure, playSteps(junction, clock, parsed.steps, log, {}));
    QCOMPARE(junction.writes.size(), std::size_t(1));
}

void TestRecordPlay::recordNeverOverwritesThePortFile()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const QByteArray bytes = QByteArray(50, '\0') + QByteArray("\x05", 1) + QByteArray(9, '\0')
            + QByteArray("\x04\x01\x04\x01", 4);
    QVERIFY(tmp.writePortBytes(bytes));
    QVERIFY(QFile::link(tmp.portFile(), tmp.filePath("link.csv")));
    for (const QString &target : {tmp.portFile(), tmp.path() + "/./emu_port.dat", tmp.filePath("link.csv")}) {
        ManualClock clock;
        const CliOutcome o = runCli({"record", "--duration", "1", target}, clock);
        QCOMPARE(o.code, 2);
        QVERIFY2(o.err.contains("is the port file itself; record into another file"), qPrintable(o.err));
        QCOMPARE(tmp.portBytes(), bytes);
    }
}

void TestRecordPlay::recordFailingPortFile()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const QString csv = tmp.filePath("out.csv");

    // A file that cannot be made: its directory does not exist, which is seen before anything runs.
    ManualClock clock;
    const CliOutcome o = runCli({"record", "--duration", "1", tmp.filePath("no/such/dir.csv")}, clock);
    QCOMPARE(o.code, 2);
    QVERIFY2(o.err.startsWith("bexen-ports: record: FILE \"" + tmp.filePath("no/such/dir.csv") + "\": its directory "),
             qPrintable(o.err));

    // The port file turns into a directory half way: what was recorded stays whole.
    QVERIFY(!bexen::io::writePortByte(160, 1, tmp.portFileStd()));
    ManualClock clock2;
    clock2.onAdvance = [&](ManualClock &c) {
        if (c.elapsed() == milliseconds(300))
            QVERIFY(!bexen::io::writePortByte(160, 2, tmp.portFileStd()));
        if (c.elapsed() == milliseconds(600)) {
            QVERIFY(QFile::remove(tmp.portFile()));
            QVERIFY(QDir(tmp.path()).mkdir("emu_port.dat"));
        }
    };
    const CliOutcome o2 = runCli({"record", "--duration", "2", csv}, clock2);
    QCOMPARE(o2.code, 1);
    QVERIFY(o2.err.contains("bexen-ports: " + tmp.portFile() + ": "));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()),
             QString("time_s,port,value\n0.000,150,0\n0.000,160,1\n0.000,161,0\n0.000,162,0\n"
                     "0.000,163,0\n0.300,160,2\n0.600,150,0\n"));
    f.close();

    // Failing from the start leaves no file behind.
    QVERIFY(QFile::remove(csv));
    ManualClock clock3;
    const CliOutcome o3 = runCli({"record", "--duration", "2", csv}, clock3);
    QCOMPARE(o3.code, 1);
    QVERIFY(!QFile::exists(csv));
}

QTEST_GUILESS_MAIN(TestRecordPlay)
#include "tst_record_play.moc"
