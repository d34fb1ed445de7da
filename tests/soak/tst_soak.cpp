// SPDX-License-Identifier: MIT
#include "junction_facts.h"
#include "poll_cycle.h"
#include "support/private_tmpdir.h"

#include <QCoreApplication>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace bexen::poll;
using bexen::junction::kLightValues;
using bexen::junction::kSensorPort;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDefaultSeconds = 10;
constexpr int kLongestSeconds = 7 * 24 * 3600;
// A tick moves eight bytes; one still running after this long is blocked on something.
constexpr auto kTickLimit = std::chrono::seconds(2);

int soakSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("BEXEN_SOAK_SECONDS", &ok);
    return ok && seconds > 0 ? std::min(seconds, kLongestSeconds) : kDefaultSeconds;
}

// -1 when even the listing cannot be opened, as when descriptors have leaked up to the limit.
int openDescriptors()
{
    std::error_code error;
    std::filesystem::directory_iterator it("/proc/self/fd", error);
    int count = 0;
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++count;
    return error ? -1 : count;
}

bool isPortByteText(std::string_view text)
{
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0'))
        return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= 255;
}

// The window as the tick sees it. The sensor boxes change at every tick; every text and picture
// the tick sets is checked to be one a port byte can give.
class CheckingPanel final : public PanelControls {
public:
    void setText(TextBox box, std::string_view text) override
    {
        if (box == TextBox::Text1) {
            if (text != expectedBitText())
                ++faults;
        } else if (box == TextBox::Text4 && text == "  ") {
            // cleared before the light's value is shown
        } else if (!isPortByteText(text)) {
            ++faults;
        } else if (text != "0") {
            ++emulatorValuesShown;
        }
    }
    int checkValue(int index) const override { return m_checks[index]; }
    void showLegendPicture(int image18, int image11) override
    {
        if (image18 < 0 || image18 > 3 || image11 < 0 || image11 >= kLightValues)
            ++faults;
    }

    // 0 cleared, 1 ticked, 2 greyed: two bits of noise per box.
    void setChecks(std::uint32_t noise)
    {
        for (int k = 0; k < 4; ++k)
            m_checks[k] = static_cast<int>((noise >> (2 * k)) & 3) % 3;
    }
    std::uint8_t expectedSensorByte() const
    {
        int byte = 0;
        for (int k = 0; k < 4; ++k)
            byte |= (m_checks[k] != 0 ? 1 : 0) << k;
        return static_cast<std::uint8_t>(byte);
    }

    unsigned long faults = 0;
    unsigned long emulatorValuesShown = 0;

private:
    std::string expectedBitText() const
    {
        std::string text = "0 0 0 0 ";
        for (int k = 3; k >= 0; --k)
            text += m_checks[k] != 0 ? " 1" : " 0";
        return text;
    }

    int m_checks[4]{};
};

// The real port procedures, counted, with every write checked to be the sensor byte to port 150.
class CountingPorts final : public PortAccess {
public:
    explicit CountingPorts(const CheckingPanel &panel) : m_panel(panel) { }
    std::uint8_t read(std::int32_t port) override
    {
        ++accesses;
        return m_file.read(port);
    }
    void write(std::int32_t port, std::uint8_t value) override
    {
        ++accesses;
        if (port != kSensorPort || value != m_panel.expectedSensorByte())
            ++wrongWrites;
        m_file.write(port, value);
    }

    unsigned long accesses = 0;
    unsigned long wrongWrites = 0;

private:
    PortFileAccess m_file;
    const CheckingPanel &m_panel;
};

// Ends the test process when one tick runs past the limit: a blocked tick would otherwise hang
// the test rather than fail it.
class TickWatchdog {
public:
    TickWatchdog() : m_thread([this] { watch(); }) { }
    ~TickWatchdog()
    {
        m_stop = true;
        m_thread.join();
    }
    TickWatchdog(const TickWatchdog &) = delete;
    TickWatchdog &operator=(const TickWatchdog &) = delete;

    void tickStarted() { m_startedAt = Clock::now().time_since_epoch().count(); }
    void tickEnded()
    {
        m_startedAt = kIdle;
        ++m_ticks;
    }
    unsigned long ticks() const { return m_ticks; }

private:
    static constexpr Clock::rep kIdle = 0;

    void watch()
    {
        while (!m_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const Clock::rep started = m_startedAt;
            if (started == kIdle
                || Clock::now() - Clock::time_point(Clock::duration(started)) <= kTickLimit)
                continue;
            qFatal("tick %lu has been running for over %lld s: it is blocked", m_ticks.load() + 1,
                   static_cast<long long>(kTickLimit.count()));
        }
    }

    std::atomic<Clock::rep> m_startedAt{kIdle};
    std::atomic<unsigned long> m_ticks{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// "key=value key=value" from a helper's last line of output.
QMap<QString, qulonglong> figures(QProcess &helper)
{
    QMap<QString, qulonglong> result;
    const QByteArray output = helper.readAllStandardOutput().trimmed();
    for (const QByteArray &pair : output.split(' ')) {
        const qsizetype eq = pair.indexOf('=');
        if (eq > 0)
            result.insert(QString::fromLatin1(pair.left(eq)), pair.mid(eq + 1).toULongLong());
    }
    return result;
}

QByteArray sentinelContents()
{
    QByteArray bytes(256, '\0');
    // Byte 50 is 0xF1, which no sensor byte (0 to 15) can be: a write through the link shows.
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i ^ 0xC3);
    return bytes;
}

} // namespace

class SoakTest : public QObject {
    Q_OBJECT

private slots:
    void ticksHoldWhileThePortFileIsReplaced();
};

void SoakTest::ticksHoldWhileThePortFileIsReplaced()
{
    PrivateTmpDir tmp;
    const QString portFile = QString::fromStdString(tmp.portFile());

    // The symbolic link kind points here: a file the panel could write if it followed links.
    QVERIFY(QDir(QString::fromStdString(tmp.path())).mkdir("elsewhere"));
    const QString sentinel = QString::fromStdString(tmp.filePath("elsewhere/sentinel.dat"));
    {
        QFile f(sentinel);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(sentinelContents()), qint64(256));
    }
    const QString counts = QString::fromStdString(tmp.filePath("truncations"));
    {
        QFile f(counts);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(QByteArray(4096, '\0')), qint64(4096));
    }

    const quint64 seed = QRandomGenerator::global()->generate64();
    const QString dir = QCoreApplication::applicationDirPath();
    QProcess replacer;
    QProcess emulator;
    replacer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    emulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    replacer.start(dir + "/soak_replacer",
                   {portFile, sentinel, counts, QString::number(seed)});
    emulator.start(dir + "/soak_emulator", {portFile, counts, QString::number(seed + 1)});
    QVERIFY2(replacer.waitForStarted(), qPrintable(replacer.errorString()));
    QVERIFY2(emulator.waitForStarted(), qPrintable(emulator.errorString()));

    const int seconds = soakSeconds();
    CheckingPanel panel;
    CountingPorts ports(panel);
    TickMembers members;
    QRandomGenerator noise(static_cast<quint32>(seed));

    const int descriptorsBefore = openDescriptors();
    unsigned long ticks = 0;
    {
        TickWatchdog watchdog;
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            panel.setChecks(noise.generate());
            watchdog.tickStarted();
            runTick(panel, ports, members);
            watchdog.tickEnded();
        }
        ticks = watchdog.ticks();
    }
    const int descriptorsAfter = openDescriptors();

    replacer.terminate();
    emulator.terminate();
    QVERIFY(replacer.waitForFinished(10000));
    QVERIFY(emulator.waitForFinished(10000));
    const auto replaced = figures(replacer);
    const auto emulated = figures(emulator);

    QFile sentinelFile(sentinel);
    QVERIFY(sentinelFile.open(QIODevice::ReadOnly));
    const QByteArray sentinelAfter = sentinelFile.readAll();

    qInfo("soak of %d s, seed %llu: %lu ticks, %lu port accesses", seconds, seed, ticks,
          ports.accesses);
    qInfo("port file replaced %llu times: regular %llu, missing %llu, fifo %llu, directory %llu, "
          "symlink %llu, truncated %llu (nothing to truncate %llu, failed %llu)",
          replaced.value("replacements"), replaced.value("regular"), replaced.value("missing"),
          replaced.value("fifo"), replaced.value("directory"), replaced.value("symlink"),
          replaced.value("truncated"), replaced.value("nothing_to_truncate"),
          replaced.value("failed"));
    qInfo("emulator: %llu rounds (%llu found no regular file), %llu bytes checked, %llu cut off by "
          "a truncation, %llu lost",
          emulated.value("rounds"), emulated.value("not_regular"), emulated.value("checked"),
          emulated.value("cut_off"), emulated.value("lost"));
    qInfo("open descriptors %d before, %d after; sentinel %s; %lu emulator values shown",
          descriptorsBefore, descriptorsAfter,
          sentinelAfter == sentinelContents() ? "unchanged" : "CHANGED", panel.emulatorValuesShown);

    QCOMPARE(replacer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(replacer.exitCode(), 0);
    QCOMPARE(emulator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(emulated.value("lost", 1), 0ull);
    QCOMPARE(emulator.exitCode(), 0);
    QCOMPARE(descriptorsAfter, descriptorsBefore);
    QCOMPARE(sentinelAfter, sentinelContents());
    QCOMPARE(panel.faults, 0ul);
    QCOMPARE(ports.wrongWrites, 0ul);
    QCOMPARE(replaced.value("failed", 1), 0ull);
    // The chaos really happened and the checks really ran: every kind was put in place, the
    // emulator found regular files to check, and the panel showed the emulator's bytes.
    for (const char *kind : {"regular", "missing", "fifo", "directory", "symlink", "truncated"})
        QVERIFY2(replaced.value(kind) > 0, kind);
    QVERIFY(emulated.value("checked") > 0);
    QVERIFY(panel.emulatorValuesShown > 0);
}

int main(int argc, char **argv)
{
    // Qt Test ends a test function after five minutes unless told otherwise; a long soak is
    // allowed its length and two minutes more for the helpers to start and stop.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((soakSeconds() + 120) * 1000));
    QCoreApplication app(argc, argv);
    SoakTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_soak.moc"
