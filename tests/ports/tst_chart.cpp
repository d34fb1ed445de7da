// SPDX-License-Identifier: MIT
#include "commands/chart.h"
#include "commands/cli.h"
#include "shared/interrupt.h"
#include "ports_test_support.h"
#include "reports/chart_svg.h"
#include "support/private_tmpdir.h"

#include <QDir>
#include <QMap>
#include <QXmlStreamReader>
#include <QtTest>

#include <ctime>

using namespace bexen::ports;
using namespace std::chrono;

namespace {

// What a reader of the chart sees, taken out of the SVG: lanes (their titles, and segments as
// x, width, fill and title), the axis's ticks, the violation marks and the legend.
struct Segment {
    double x;
    double width;
    QString fill;
    QString title;
};

struct ChartView {
    QString error; // of the XML, or a lane without its title
    QString title;
    QMap<QString, QString> laneTitles; // id -> title
    QMap<QString, QList<Segment>> lanes;
    QList<std::pair<double, double>> ticks; // x, seconds
    QList<std::pair<double, QString>> violations; // x of the mark's line, its title
    QMap<QString, QString> legend; // words -> fill of the swatch before them

    double seconds(double x) const
    {
        const auto [x0, s0] = ticks.front();
        const auto [x1, s1] = ticks.back();
        return s0 + (x - x0) * (s1 - s0) / (x1 - x0);
    }
};

ChartView readChart(const QByteArray &svg)
{
    ChartView view;
    QXmlStreamReader xml(svg);
    QString lane;
    QString lastFill;
    bool inLegend = false;
    // The next element inside the one just read, and its text when it is a title.
    const auto childTitle = [&xml] {
        xml.readNextStartElement();
        return xml.name() == QLatin1String("title") ? xml.readElementText() : QString();
    };
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QString name = xml.name().toString();
        const QString cls = a.value("class").toString();
        if (name == "g" && cls.startsWith("lane ")) {
            lane = a.value("id").toString();
            view.laneTitles[lane] = childTitle();
            if (view.laneTitles[lane].isEmpty())
                view.error = lane + " has no title first";
        } else if (name == "g" && cls.startsWith("violation ")) {
            const QString title = childTitle();
            xml.readNextStartElement();
            view.violations.append({xml.attributes().value("x1").toDouble(), title});
        } else if (name == "title" && view.title.isEmpty()) {
            view.title = xml.readElementText();
        } else if (name == "rect" && cls == "segment") {
            view.lanes[lane].append({a.value("x").toDouble(), a.value("width").toDouble(),
                                     a.value("fill").toString(), childTitle()});
        } else if (name == "text" && cls == "tick") {
            view.ticks.append({a.value("x").toDouble(), xml.readElementText().toDouble()});
        } else if (name == "g") {
            inLegend = a.value("id") == QLatin1String("legend");
        } else if (inLegend && name == "rect") {
            lastFill = a.value("fill").toString();
        } else if (inLegend && name == "text") {
            view.legend[xml.readElementText()] = lastFill;
        }
    }
    if (xml.hasError())
        view.error = xml.errorString() + QString(" at line %1").arg(xml.lineNumber());
    else if (view.ticks.size() < 2)
        view.error = "fewer than two ticks";
    return view;
}

// The lamp table: what each byte of a light shows.
QString lightName(int value)
{
    static const QStringList names{"dark", "red", "red and yellow", "yellow", "green"};
    return value < names.size() ? names[value] : "out of range, shown dark";
}

// A run with every rule broken once or twice: lights 1 and 3 go round their cycle, light 2 jumps
// to green while they are yellow, light 4 holds 9, and a car waits at light 2 from 1.5 s to 10 s.
const QByteArray kRecording = "time_s,port,value\n"
                              "0.000,150,0\n0.000,160,1\n0.000,161,1\n0.000,162,1\n0.000,163,1\n"
                              "1.000,160,2\n1.000,162,2\n1.500,150,2\n2.000,160,4\n2.000,162,4\n"
                              "6.000,160,3\n6.000,162,3\n7.000,161,4\n8.000,160,1\n8.000,162,1\n"
                              "9.000,163,9\n10.000,150,0\n10.000,163,1\n12.000,150,0\n";

} // namespace

class TestChart : public QObject {
    Q_OBJECT

private slots:
    void init() { clearStopRequest(); }

    void chartShowsTheRecording_data();
    void chartShowsTheRecording();
    void marksWhatWatchCheckReports();
    void tickSpacing_data();
    void tickSpacing();
    void refusals_data();
    void refusals();
    void outCannotBeWritten();
};

void TestChart::chartShowsTheRecording_data()
{
    QTest::addColumn<QStringList>("options");
    // "lane from-to:value ...", times in seconds; a sensor lane lists the times a car waited.
    QTest::addColumn<QString>("lanes");
    QTest::addColumn<QString>("violations"); // "seconds rule; ..."

    const QString lights13 = "0-1:1 1-2:2 2-6:4 6-8:3 8-12:1";
    QTest::newRow("whole run, a car may wait 1 s")
            << QStringList{"--max-wait", "1"}
            << "light-1 " + lights13 + "|light-2 0-7:1 7-12:4|light-3 " + lights13
                       + "|light-4 0-9:1 9-10:9 10-12:1|sensor-1|sensor-2 1.5-10:1|sensor-3|sensor-4"
            << "2.6 car left waiting; 7 illegal change; 7 both roads moving; 9 value out of range; "
               "10 illegal change";
    QTest::newRow("a window")
            << QStringList{"--from", "5", "--to=9.5", "--max-wait", "1"}
            << "light-1 5-6:4 6-8:3 8-9.5:1|light-2 5-7:1 7-9.5:4|light-4 5-9:1 9-9.5:9|sensor-2 5-9.5:1"
            << "7 illegal change; 7 both roads moving; 9 value out of range";
    QTest::newRow("--to past the end stops at the end")
            << QStringList{"--from", "9", "--to", "100"}
            << "light-1 9-12:1|light-4 9-10:9 10-12:1|sensor-2 9-10:1|sensor-4"
            << "9 value out of range; 10 illegal change";
}

void TestChart::chartShowsTheRecording()
{
    QFETCH(QStringList, options);
    QFETCH(QString, lanes);
    QFETCH(QString, violations);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeFileBytes(tmp.filePath("run.csv"), kRecording));
    QVERIFY(writeFileBytes(tmp.filePath("run.svg"), "an older chart, replaced"));
    ManualClock clock;
    const CliOutcome o = runCli(QStringList{"chart"} + options + QStringList{tmp.filePath("run.csv"), tmp.filePath("run.svg")}, clock);
    QVERIFY2(o.code == 0, qPrintable(o.err));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"run.csv", "run.svg"}));
    const ChartView view = readChart(fileBytes(tmp.filePath("run.svg")));
    QVERIFY2(view.error.isEmpty(), qPrintable(view.error));
    QVERIFY2(view.title.startsWith("Timing chart of run.csv"), qPrintable(view.title));

    // Eight lanes, each labelled with its light, road and port; ticks evenly spaced, at most
    // twelve steps; a legend that tells every value apart, out of range from dark.
    QCOMPARE(view.laneTitles.size(), 8);
    for (int k = 1; k <= 4; ++k) {
        QCOMPARE(view.laneTitles.value(QString("light-%1").arg(k)), QString("light %1 (port %2), %3 road")
                         .arg(k).arg(159 + k).arg(k % 2 ? "east-west" : "north-south"));
        QVERIFY(view.laneTitles.value(QString("sensor-%1").arg(k)).contains(QString("bit %1 of port 150").arg(k - 1)));
    }
    const double step = view.ticks[1].second - view.ticks[0].second;
    QVERIFY(view.ticks.size() <= 13);
    for (qsizetype i = 1; i < view.ticks.size(); ++i)
        QVERIFY(qAbs(view.ticks[i].second - view.ticks[i - 1].second - step) < 1e-9);
    QSet<QString> fills{view.legend.value("5 to 255: out of range")};
    for (int v = 0; v <= 4; ++v)
        fills.insert(view.legend.value(lightName(v)));
    QCOMPARE(fills.size(), 6);

    const double tolerance = 0.5 / ((view.ticks[1].first - view.ticks[0].first) / step); // half a pixel
    for (const QString &lane : lanes.split('|')) {
        QStringList expected = lane.split(' ');
        const QString id = expected.takeFirst();
        const QList<Segment> got = view.lanes.value(id);
        QVERIFY2(got.size() == expected.size(), qPrintable(QString("%1: %2 segments").arg(id).arg(got.size())));
        for (qsizetype i = 0; i < got.size(); ++i) {
            const QStringList f = expected[i].split(QRegularExpression("[-:]"));
            const double from = f[0].toDouble();
            const double to = f[1].toDouble();
            const int value = f[2].toInt();
            const QString where = QString("%1 segment %2").arg(id).arg(i);
            QVERIFY2(qAbs(view.seconds(got[i].x) - from) < tolerance, qPrintable(where));
            QVERIFY2(qAbs(view.seconds(got[i].x + got[i].width) - to) < tolerance, qPrintable(where));
            if (!id.startsWith("light"))
                continue;
            const QString name = value > 4 ? "5 to 255: out of range" : lightName(value);
            QVERIFY2(got[i].fill == view.legend.value(name), qPrintable(where + " " + got[i].fill));
            QCOMPARE(got[i].title, QString("light %1: %2 %3 from %4 s to %5 s").arg(id.right(1)).arg(value)
                                           .arg(lightName(value)).arg(from, 0, 'f', 3).arg(to, 0, 'f', 3));
        }
    }

    QStringList got;
    for (const auto &[x, title] : view.violations) {
        const QString rule = title.section(": ", 1, 1);
        got << QString::number(view.seconds(x), 'f', 1).remove(QRegularExpression("\\.0$")) + " " + rule;
        QVERIFY2(title.startsWith(QString::number(view.seconds(x), 'f', 3) + " s: "), qPrintable(title));
    }
    QCOMPARE(got.join("; "), violations);
}

void TestChart::marksWhatWatchCheckReports()
{
    // The same junction, watched live by watch --check and recorded, then charted. The car at
    // light 3 has waited too long only at 5.6 s, after the last change: the recording's end
    // row carries the run on to 7 s.
    const std::vector<TimedWrite> history{
            {milliseconds(500), 150, 4},  {milliseconds(1000), 161, 2}, {milliseconds(1000), 163, 2},
            {milliseconds(2000), 161, 4}, {milliseconds(2000), 163, 4}, {milliseconds(3000), 160, 4},
            {milliseconds(3500), 160, 1}, {milliseconds(4000), 162, 7}, {milliseconds(4500), 162, 1}};
    qputenv("TZ", "UTC");
    tzset();
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QString outputs[2];
    const QStringList commands[2] = {{"watch", "--check", "--max-wait", "5", "--duration", "7"},
                                     {"record", "--duration", "7", tmp.filePath("run.csv")}};
    for (int i = 0; i < 2; ++i) {
        QVERIFY(tmp.writePortBytes(QByteArray(60, '\0') + QByteArray("\x01\x01\x01\x01", 4)));
        WriteTimeline timeline(history);
        ManualClock clock;
        clock.onAdvance = [&](ManualClock &c) {
            timeline.apply(c.elapsed(), [&](std::int32_t p, std::uint8_t v) {
                QVERIFY(!bexen::io::writePortByte(p, v, tmp.portFileStd()));
            });
        };
        outputs[i] = runCli(commands[i], clock).out;
    }
    // "1970-01-01 00:00:03.000  violation: RULE: DETAIL" -> "3.000 s: RULE: DETAIL"
    QStringList watched;
    const QRegularExpression line("^1970-01-01 00:00:(\\d\\d\\.\\d{3})  violation: (.*)$");
    for (const QString &l : outputs[0].split('\n', Qt::SkipEmptyParts)) {
        if (const auto m = line.match(l); m.hasMatch())
            watched << QString::number(m.captured(1).toDouble(), 'f', 3) + " s: " + m.captured(2);
    }
    QCOMPARE(watched.size(), 6);
    QVERIFY2(watched.last().startsWith("5.600 s: car left waiting: light 3"), qPrintable(watched.last()));

    ManualClock clock;
    const CliOutcome o = runCli({"chart", "--max-wait", "5", tmp.filePath("run.csv"), tmp.filePath("run.svg")}, clock);
    QCOMPARE(o.code, 0);
    QStringList charted;
    for (const auto &[x, title] : readChart(fileBytes(tmp.filePath("run.svg"))).violations)
        charted << title;
    QCOMPARE(charted, watched);
}

void TestChart::tickSpacing_data()
{
    // At most twelve steps of 1, 2 or 5 times a power of ten, then of 15 s, 30 s, 1, 2, 5, 10,
    // 15, 30 minutes and whole hours.
    QTest::addColumn<int>("length"); // ms
    QTest::addColumn<int>("spacing"); // ms
    QTest::newRow("5 ms") << 5 << 1;
    QTest::newRow("1.2 s") << 1200 << 100;
    QTest::newRow("1.3 s") << 1300 << 200;
    QTest::newRow("1 min") << 60'000 << 5000;
    QTest::newRow("200 s") << 200'000 << 30'000;
    QTest::newRow("1 h") << 3'600'000 << 300'000;
    QTest::newRow("1 h 1 s") << 3'601'000 << 600'000;
    QTest::newRow("30 h") << 108'000'000 << 3 * 3'600'000;
}

void TestChart::tickSpacing()
{
    QFETCH(int, length);
    QFETCH(int, spacing);
    QCOMPARE(bexen::ports::tickSpacing(milliseconds(length)).count(), spacing);
}

void TestChart::refusals_data()
{
    QTest::addColumn<QStringList>("args"); // "@" stands for the private directory
    QTest::addColumn<QByteArray>("recording"); // written to @/run.csv
    QTest::addColumn<QString>("error");

    const auto row = [](const char *name, const QStringList &args, const QString &error,
                        const QByteArray &recording = kRecording) {
        QTest::newRow(name) << args << recording << error;
    };
    const QStringList paths{"@/run.csv", "@/old.svg"};
    const QByteArray header = "time_s,port,value\n";
    row("missing recording", {"@/none.csv", "@/old.svg"}, "chart: @/none.csv: cannot be read");
    row("empty recording", paths, "chart: @/run.csv: is empty; a recording starts with the line time_s,port,value", "");
    row("a script", paths, "chart: @/run.csv:1: a recording starts with the line time_s,port,value", "1 sensor 1 on\n");
    row("bad row", paths, "chart: @/run.csv:3: a row is time_s,port,value", header + "0,160,1\n1;161;2\n");
    row("time going back", paths, "chart: @/run.csv:4: time 1.500 s comes before", header + "0,160,1\n2,160,2\n1.5,160,4\n");
    row("port 170", paths, "chart: @/run.csv:3: port \"170\" is not 150 or 160 to 163", header + "0,160,1\n1,170,2\n");
    row("value 300", paths, "chart: @/run.csv:2: value \"300\" is not a whole number 0 to 255", header + "0,160,300\n");
    row("no time spanned", paths, "chart: @/run.csv: every row is at 0.000 s", header + "0,160,1\n0,161,1\n");
    row("--from after --to", QStringList{"--from", "8", "--to", "2"} + paths, "chart: --from 8.000 s must come before --to 2.000 s");
    row("window past the end", QStringList{"--from", "30"} + paths,
        "chart: @/run.csv: runs from 0.000 s to 12.000 s; --from 30.000 s leaves nothing");
    row("OUT in a missing directory", {"@/run.csv", "@/no/such/out.svg"},
        "chart: OUT \"@/no/such/out.svg\": its directory \"@/no/such\" does not exist");
    row("OUT a directory", {"@/run.csv", "@"}, "chart: OUT \"@\" is a directory");
    row("OUT the recording", {"@/run.csv", "@/./run.csv"}, "is the recording itself");
    row("OUT the port file", {"@/run.csv", "@/emu_port.dat"}, "is the port file itself");
    row("no OUT", {"@/run.csv"}, "chart: missing OUT, the SVG file");
    row("unknown option", QStringList{"--width", "9"} + paths, "chart: unknown option \"--width\"");
}

void TestChart::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, recording);
    QFETCH(QString, error);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeFileBytes(tmp.filePath("run.csv"), recording));
    QVERIFY(writeFileBytes(tmp.filePath("old.svg"), "an older chart"));
    QVERIFY(tmp.writePortBytes(QByteArray(64, '\1')));
    const QStringList before = QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (QString &a : args)
        a.replace('@', tmp.path());
    ManualClock clock;
    const CliOutcome o = runCli(QStringList{"chart"} + args, clock);
    const QString fault = refusalFault(o, QString(error).replace('@', tmp.path()));
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    // Nothing written, not even a temporary file; an older chart is left as it was.
    QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    QCOMPARE(fileBytes(tmp.filePath("old.svg")), QByteArray("an older chart"));
    QCOMPARE(tmp.portBytes(), QByteArray(64, '\1'));
}

void TestChart::outCannotBeWritten()
{
    // /proc takes no new files, whoever asks: the chart fails as a disk would, after the checks.
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeFileBytes(tmp.filePath("run.csv"), kRecording));
    ManualClock clock;
    const CliOutcome o = runCli({"chart", tmp.filePath("run.csv"), "/proc/bexen-chart.svg"}, clock);
    QCOMPARE(o.code, 1);
    QCOMPARE(o.err, QString("bexen-ports: /proc/bexen-chart.svg: cannot be written: No such file or directory\n"));
    QCOMPARE(o.out, QString());
}

QTEST_GUILESS_MAIN(TestChart)
#include "tst_chart.moc"
