// SPDX-License-Identifier: MIT
#include "port_channel.h"
#include "temp_path.h"
#include "support/private_tmpdir.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace bexen::io;

namespace {

// Runs `access` and fails the whole test run if it has not returned within a few seconds: an
// access that blocks (on a FIFO, say) would otherwise hang the suite until ctest's timeout.
void withWatchdog(const char *what, const std::function<void()> &access)
{
    auto done = std::async(std::launch::async, access);
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        qCritical("%s blocked for 5 s; giving up", what);
        std::_Exit(1);
    }
    done.get();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestPortChannel : public QObject {
    Q_OBJECT

private slots:
    // Where the file is
    void tempPathFollowsTmpDir();
    void tempPathReportsNeededSize();
    void addBackslash_data();
    void addBackslash();
    void directoryWithOrWithoutSeparatorGivesSamePath();
    void tooLongDirectoryTouchesNothing();
    void noTemporaryDirectoryMeansCurrentDirectory();

    // What a byte is
    void missingFileReadLeavesEmptyFile();
    void missingFileWriteGrowsToThePort();
    void readPastTheEndIsZeroWithoutFailure();
    void firstPortAndPortsBelowIt();
    void writeThenReadKeepsOtherBytes();
    void highPortIsReachable();
    void missingFileMayBeLeftAlone();

    // What must never happen at a name others can write to
    void hostileThingsAtTheName_data();
    void hostileThingsAtTheName();
    void anotherUsersFileIsRefused();
    void unreadableFileIsAFailureThenRecovers();
    void missingDirectoryIsReported();

    // Sharing with the emulator
    void emulatorWritesAreNeverLost();
};

void TestPortChannel::tempPathFollowsTmpDir()
{
    char buffer[500];
    qputenv("TMPDIR", "/some/where");
    QCOMPARE(queryTempPath(499, buffer), 11u);
    QCOMPARE(QByteArray(buffer), QByteArray("/some/where"));

    qputenv("TMPDIR", "");
    QCOMPARE(queryTempPath(499, buffer), 4u);
    QCOMPARE(QByteArray(buffer), QByteArray("/tmp"));

    qunsetenv("TMPDIR");
    QCOMPARE(queryTempPath(499, buffer), 4u);
    QCOMPARE(QByteArray(buffer), QByteArray("/tmp"));
}

void TestPortChannel::tempPathReportsNeededSize()
{
    char buffer[8] = "unused";
    qputenv("TMPDIR", "/a/longer/dir");
    // 13 characters and the zero: more than a buffer of 8 holds.
    QCOMPARE(queryTempPath(8, buffer), 14u);
    // At the edge: room for the path and its zero is enough, one less is not.
    char exact[14];
    QCOMPARE(queryTempPath(14, exact), 13u);
    QCOMPARE(QByteArray(exact), QByteArray("/a/longer/dir"));
    QCOMPARE(queryTempPath(13, exact), 14u);
    qunsetenv("TMPDIR");
}

void TestPortChannel::addBackslash_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty stays empty") << "" << "";
    QTest::newRow("root") << "/" << "/";
    QTest::newRow("no separator") << "/tmp" << "/tmp/";
    QTest::newRow("separator kept") << "/tmp/" << "/tmp/";
    QTest::newRow("relative") << "dir" << "dir/";
    // On POSIX a backslash is an ordinary character of a name.
    QTest::newRow("backslash is not a separator here") << "/tmp\\" << "/tmp\\/";
}

void TestPortChannel::addBackslash()
{
    QFETCH(QString, dir);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(add_backslash(dir.toStdString())), expected);
}

void TestPortChannel::directoryWithOrWithoutSeparatorGivesSamePath()
{
    PrivateTmpDir tmp;
    const QString expected = tmp.path() + "/emu_port.dat";

    PortFileLocation plain = locatePortFile();
    QVERIFY(!plain.error);
    QCOMPARE(QString::fromStdString(plain.path), expected);

    qputenv("TMPDIR", (tmp.path() + "/").toLocal8Bit());
    PortFileLocation withSeparator = locatePortFile();
    QVERIFY(!withSeparator.error);
    QCOMPARE(QString::fromStdString(withSeparator.path), expected);
}

void TestPortChannel::tooLongDirectoryTouchesNothing()
{
    PrivateTmpDir tmp;
    // A real directory of 600 characters: were the path cut at the buffer's size, the cut-off
    // prefix would name another directory, which must stay empty too.
    QString deep = tmp.path();
    while (deep.size() < 600)
        deep += "/" + QString(40, QLatin1Char('d'));
    QVERIFY(QDir().mkpath(deep));
    qputenv("TMPDIR", deep.toLocal8Bit());

    PortFileLocation where = locatePortFile();
    QVERIFY(where.error.has_value());
    QVERIFY(where.path.empty());
    QVERIFY2(where.error->reason.find("too long") != std::string::npos
                     || where.error->reason.find("characters") != std::string::npos,
             where.error->reason.c_str());

    WRITE_IO_BYTE(150, 9);
    QCOMPARE(READ_IO_BYTE(150), std::uint8_t(0));
    QVERIFY(readPortByte(150).error.has_value());

    // Nothing anywhere below the private directory but the directories themselves.
    QStringList files;
    for (QString dir = tmp.path(); dir.size() <= deep.size(); dir += "/" + QString(40, 'd')) {
        files += QDir(dir).entryList(QDir::Files);
        if (dir == deep)
            break;
    }
    QVERIFY2(files.isEmpty(), qPrintable(files.join(", ")));
}

void TestPortChannel::noTemporaryDirectoryMeansCurrentDirectory()
{
    // The query cannot fail on POSIX, but a count of 0 is what a failed query gives: the bare
    // name, resolved in the current directory.
    QCOMPARE(QString::fromStdString(add_backslash("") + std::string(kPortFileName)),
             QStringLiteral("emu_port.dat"));
}

void TestPortChannel::missingFileReadLeavesEmptyFile()
{
    PrivateTmpDir tmp;
    QVERIFY(!QFileInfo::exists(tmp.portFile()));
    QCOMPARE(READ_IO_BYTE(160), std::uint8_t(0));
    QVERIFY(QFileInfo::exists(tmp.portFile()));
    QCOMPARE(QFileInfo(tmp.portFile()).size(), 0);
    QCOMPARE(QFileInfo(tmp.portFile()).permissions() & (QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());
}

void TestPortChannel::missingFileWriteGrowsToThePort()
{
    PrivateTmpDir tmp;
    WRITE_IO_BYTE(150, 7);
    QByteArray expected(50, '\0');
    expected.append('\7');
    QCOMPARE(tmp.portBytes(), expected);
}

void TestPortChannel::readPastTheEndIsZeroWithoutFailure()
{
    PrivateTmpDir tmp;
    QByteArray bytes(61, '\0');
    bytes[60] = 3;
    QVERIFY(tmp.writePortBytes(bytes));

    QCOMPARE(READ_IO_BYTE(160), std::uint8_t(3));
    for (int port : {161, 162, 163}) {
        ReadOutcome outcome = readPortByte(port);
        QVERIFY2(!outcome.error, qPrintable(QString("port %1").arg(port)));
        QCOMPARE(outcome.value, std::uint8_t(0));
    }
    QCOMPARE(tmp.portBytes(), bytes);
}

void TestPortChannel::firstPortAndPortsBelowIt()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.writePortBytes(QByteArray("\x2a\x01\x02", 3)));
    QCOMPARE(READ_IO_BYTE(100), std::uint8_t(42));
    QCOMPARE(READ_IO_BYTE(99), std::uint8_t(0));
    QCOMPARE(READ_IO_BYTE(-2147483647 - 1), std::uint8_t(0));

    for (int port : {99, 0, -1, -2147483647 - 1}) {
        WRITE_IO_BYTE(port, 0xEE);
        std::optional<AccessError> error = writePortByte(port, 0xEE);
        QVERIFY2(error && error->reason.find("no place") != std::string::npos,
                 qPrintable(QString("port %1").arg(port)));
    }
    QCOMPARE(tmp.portBytes(), QByteArray("\x2a\x01\x02", 3));

    WRITE_IO_BYTE(100, 5);
    QCOMPARE(tmp.portBytes(), QByteArray("\x05\x01\x02", 3));
}

void TestPortChannel::writeThenReadKeepsOtherBytes()
{
    PrivateTmpDir tmp;
    QByteArray bytes(100, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + 1);
    QVERIFY(tmp.writePortBytes(bytes));

    WRITE_IO_BYTE(150, 255);
    QCOMPARE(READ_IO_BYTE(150), std::uint8_t(255));
    bytes[50] = char(255);
    QCOMPARE(tmp.portBytes(), bytes);
}

void TestPortChannel::highPortIsReachable()
{
    PrivateTmpDir tmp;
    WRITE_IO_BYTE(65535, 1);
    QCOMPARE(QFileInfo(tmp.portFile()).size(), 65436);
    QCOMPARE(READ_IO_BYTE(65535), std::uint8_t(1));
    QCOMPARE(READ_IO_BYTE(65534), std::uint8_t(0));
}

void TestPortChannel::missingFileMayBeLeftAlone()
{
    PrivateTmpDir tmp;
    ReadOutcome outcome = readPortByte(160, WhenMissing::ReadZero);
    QVERIFY(!outcome.error);
    QCOMPARE(outcome.value, std::uint8_t(0));
    QVERIFY(!QFileInfo::exists(tmp.portFile()));
}

void TestPortChannel::hostileThingsAtTheName_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("directory") << "directory";
    QTest::newRow("socket") << "socket";
    QTest::newRow("symbolic link to a file") << "symlink";
    QTest::newRow("dangling symbolic link") << "dangling";
    QTest::newRow("hard link") << "hardlink";
    QTest::newRow("device") << "device";
}

void TestPortChannel::hostileThingsAtTheName()
{
    QFETCH(QString, kind);
    PrivateTmpDir tmp;
    const QByteArray name = tmp.portFile().toLocal8Bit();
    const QString target = tmp.filePath("target");
    QByteArray targetBytes(64, '\x11');

    auto makeTarget = [&] {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(targetBytes);
    };

    int socketFd = -1;
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else if (kind == "directory") {
        QVERIFY(QDir().mkdir(tmp.portFile()));
    } else if (kind == "socket") {
        socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (name.size() >= int(sizeof(address.sun_path)))
            QSKIP("the temporary directory's path is too long for a socket name");
        qstrncpy(address.sun_path, name.constData(), sizeof(address.sun_path));
        QCOMPARE(::bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    } else if (kind == "symlink") {
        makeTarget();
        QVERIFY(QFile::link(target, tmp.portFile()));
    } else if (kind == "dangling") {
        QVERIFY(QFile::link(target, tmp.portFile()));
    } else if (kind == "hardlink") {
        makeTarget();
        QCOMPARE(::link(target.toLocal8Bit().constData(), name.constData()), 0);
    } else if (kind == "device") {
        // The node of /dev/null, made here; only a privileged user may make one.
        if (::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("making a device node needs privileges this run does not have");
    }

    withWatchdog("an access to a hostile port file", [] {
        QCOMPARE(READ_IO_BYTE(160), std::uint8_t(0));
        WRITE_IO_BYTE(150, 7);
        QCOMPARE(READ_IO_BYTE(150), std::uint8_t(0));
    });

    ReadOutcome outcome = readPortByte(160);
    QVERIFY2(outcome.error.has_value(), qPrintable(kind));
    QCOMPARE(QString::fromStdString(outcome.error->path), tmp.portFile());
    QVERIFY(!outcome.error->reason.empty());
    QVERIFY(writePortByte(150, 7).has_value());

    if (kind == "symlink" || kind == "hardlink")
        QCOMPARE(fileBytes(target), targetBytes);
    if (kind == "dangling")
        QVERIFY2(!QFileInfo::exists(target), "a link's target was created");
    if (socketFd >= 0)
        ::close(socketFd);
}

void TestPortChannel::anotherUsersFileIsRefused()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.writePortBytes(QByteArray(61, '\x04')));
    const uid_t nobody = 65534;
    if (::geteuid() == nobody || ::chown(tmp.portFile().toLocal8Bit().constData(), nobody, -1) != 0)
        QSKIP("giving a file to another user needs privileges this run does not have");

    QCOMPARE(READ_IO_BYTE(160), std::uint8_t(0));
    WRITE_IO_BYTE(150, 1);
    QCOMPARE(tmp.portBytes(), QByteArray(61, '\x04'));
    ReadOutcome outcome = readPortByte(160);
    QVERIFY(outcome.error.has_value());
    QVERIFY2(outcome.error->reason.find("another user") != std::string::npos,
             outcome.error->reason.c_str());
}

void TestPortChannel::unreadableFileIsAFailureThenRecovers()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.writePortBytes(QByteArray(61, '\x02')));
    if (::geteuid() == 0)
        QSKIP("permissions do not bind the superuser");
    QVERIFY(QFile::setPermissions(tmp.portFile(), QFile::Permissions()));
    QCOMPARE(READ_IO_BYTE(160), std::uint8_t(0));
    QVERIFY(readPortByte(160).error.has_value());

    QVERIFY(QFile::setPermissions(tmp.portFile(), QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(READ_IO_BYTE(160), std::uint8_t(2));
}

void TestPortChannel::missingDirectoryIsReported()
{
    PrivateTmpDir tmp;
    const QString gone = tmp.filePath("no-such-dir");
    qputenv("TMPDIR", gone.toLocal8Bit());
    QCOMPARE(READ_IO_BYTE(160), std::uint8_t(0));
    std::optional<AccessError> error = writePortByte(150, 1);
    QVERIFY(error.has_value());
    QCOMPARE(QString::fromStdString(error->path), gone + "/emu_port.dat");
    QVERIFY(!QFileInfo::exists(gone));
    // The next call, with the directory back, works as if nothing had happened.
    QVERIFY(QDir().mkdir(gone));
    WRITE_IO_BYTE(150, 1);
    QCOMPARE(READ_IO_BYTE(150), std::uint8_t(1));
}

void TestPortChannel::emulatorWritesAreNeverLost()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.writePortBytes(QByteArray(100, '\0')));
    const QByteArray path = tmp.portFile().toLocal8Bit();

    // The emulator: another process that keeps storing its own bytes, one access at a time,
    // everywhere but the sensor byte, while this process writes the sensor byte over and over.
    constexpr int kRounds = 300;
    const pid_t emulator = ::fork();
    QVERIFY(emulator >= 0);
    if (emulator == 0) {
        for (int round = 1; round <= kRounds; ++round) {
            for (int offset = 0; offset < 100; ++offset) {
                if (offset == 50)
                    continue;
                const int fd = ::open(path.constData(), O_RDWR);
                if (fd < 0)
                    ::_exit(2);
                const unsigned char byte = static_cast<unsigned char>((round + offset) & 0xFF);
                if (::pwrite(fd, &byte, 1, offset) != 1)
                    ::_exit(3);
                ::close(fd);
            }
        }
        ::_exit(0);
    }

    int status = 0;
    std::uint8_t sensor = 0;
    while (::waitpid(emulator, &status, WNOHANG) == 0) {
        WRITE_IO_BYTE(150, ++sensor & 15);
        (void)READ_IO_BYTE(160);
    }
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    WRITE_IO_BYTE(150, 9);

    const QByteArray bytes = tmp.portBytes();
    QCOMPARE(bytes.size(), 100);
    for (int offset = 0; offset < 100; ++offset) {
        const int expected = offset == 50 ? 9 : (kRounds + offset) & 0xFF;
        QVERIFY2(static_cast<unsigned char>(bytes[offset]) == expected,
                 qPrintable(QString("offset %1 holds %2, the last write was %3")
                                    .arg(offset)
                                    .arg(static_cast<unsigned char>(bytes[offset]))
                                    .arg(expected)));
    }
}

QTEST_GUILESS_MAIN(TestPortChannel)
#include "tst_port_channel.moc"
