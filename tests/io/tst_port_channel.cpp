// SPDX-License-Identifier: MIT
// The port file channel: where the temporary directory puts the file, what a byte is, what it
// never follows or overwrites at a name others can write to, and how it shares the file with the
// emulator. The same cases on every platform; what only one platform has sits in its section.

#include "port_channel.h"
#include "temp_path.h"
#include "support/private_tmpdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <iostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace bexen::io;
using namespace bexen::testing;

namespace {

class PortChannel : public ::testing::Test {
protected:
    std::string portFile() const { return m_tmp.portFile(); }

    // Regular files anywhere below the private directory.
    std::vector<std::string> filesBelow() const
    {
        std::vector<std::string> files;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(m_tmp.path()))
            if (entry.is_regular_file())
                files.push_back(entry.path().string());
        return files;
    }

    // Whether another process could now have the file to itself: the channel holds no handle.
    bool freeToBeHeldAlone() const
    {
#ifdef _WIN32
        const HANDLE h = ::CreateFileA(portFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        ::CloseHandle(h);
#endif
        return true;
    }

    PrivateTmpDir m_tmp;
};

// 61 bytes: port 100 holds 17, ports 101 to 159 hold 170, port 160 (the last byte) holds 3.
std::string sixtyOneBytes()
{
    std::string bytes(61, '\xAA');
    bytes[0] = 17;
    bytes[60] = 3;
    return bytes;
}

template <typename Row>
std::string rowName(const ::testing::TestParamInfo<Row> &info)
{
    return info.param.name;
}

} // namespace

// --- Where the file is ------------------------------------------------------------------------

struct BackslashRow {
    const char *name;
    const char *dir;
    const char *expected;
};

class AddBackslash : public ::testing::TestWithParam<BackslashRow> {};

TEST_P(AddBackslash, AppendsOnlyAMissingSeparator)
{
    EXPECT_EQ(add_backslash(GetParam().dir), GetParam().expected);
}

const BackslashRow kBackslashRows[] = {
        {"Empty", "", ""},
#ifdef _WIN32
        {"NoSeparator", "C:\\Temp", "C:\\Temp\\"},
        {"Backslash", "C:\\Temp\\", "C:\\Temp\\"},
        {"SlashIsNoSeparator", "C:\\Temp/", "C:\\Temp/\\"},
        {"DriveRoot", "C:\\", "C:\\"},
        {"Relative", "ports", "ports\\"},
#else
        {"Root", "/", "/"},
        {"NoSeparator", "/tmp", "/tmp/"},
        {"SeparatorKept", "/tmp/", "/tmp/"},
        {"Relative", "dir", "dir/"},
        // On POSIX a backslash is an ordinary character of a name.
        {"BackslashIsNoSeparator", "/tmp\\", "/tmp\\/"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Everywhere, AddBackslash, ::testing::ValuesIn(kBackslashRows),
                         rowName<BackslashRow>);

struct SpellingRow {
    const char *name;
    const char *suffix; // appended to the directory as the variable spells it
    bool forwardSlashes; // every "\" of the directory written "/"
};

class DirectorySpelling : public PortChannel, public ::testing::WithParamInterface<SpellingRow> {};

TEST_P(DirectorySpelling, GivesTheDirectoryOneSeparatorAndTheName)
{
    const SpellingRow &row = GetParam();
    const std::string dir = m_tmp.makeDirectory("spelled");
    std::string tmp = dir + row.suffix;
    if (row.forwardSlashes)
        for (char &c : tmp)
            if (c == '\\')
                c = '/';
    PrivateTmpDir::setTemporaryDirectory(tmp);

    const PortFileLocation where = locatePortFile();
    ASSERT_FALSE(where.error.has_value()) << where.error->message();
    EXPECT_EQ(where.path, dir + kSeparator + "emu_port.dat");

    WRITE_IO_BYTE(150, 5);
    EXPECT_EQ(readFile(where.path), std::string(50, '\0') + '\x05');
}

// GetTempPathA reports the directory with a trailing backslash of its own and its slashes turned
// into backslashes, so all of these name the same file.
const SpellingRow kSpellingRows[] = {
        {"WithoutTrailingSeparator", "", false},
        {"EndingInSlash", "/", false},
#ifdef _WIN32
        {"WithTrailingBackslash", "\\", false},
        {"SlashesThroughout", "/", true},
#endif
};

INSTANTIATE_TEST_SUITE_P(Everywhere, DirectorySpelling, ::testing::ValuesIn(kSpellingRows),
                         rowName<SpellingRow>);

struct TooLongRow {
    const char *name;
    std::size_t length;
};

class TooLongDirectory : public PortChannel, public ::testing::WithParamInterface<TooLongRow> {};

TEST_P(TooLongDirectory, EveryAccessFailsAndNoFileIsMade)
{
    // A failed query would put the file in the current directory: make that one of ours too,
    // so a file there would show.
    const std::string current = m_tmp.makeDirectory("current");
    std::filesystem::current_path(current);
    // A real directory: were the path cut at the buffer's size, the cut-off prefix would name
    // another directory, which must stay empty too.
    std::string tmp = m_tmp.path();
    while (tmp.size() < GetParam().length)
        tmp += kSeparator + std::string(40, 'd');
#ifndef _WIN32
    ASSERT_TRUE(std::filesystem::create_directories(tmp));
#endif
    PrivateTmpDir::setTemporaryDirectory(tmp);

    const PortFileLocation where = locatePortFile();
    ASSERT_TRUE(where.error.has_value());
    EXPECT_EQ(where.path, "");
#ifndef _WIN32
    EXPECT_TRUE(where.error->reason.find("too long") != std::string::npos
                || where.error->reason.find("characters") != std::string::npos)
            << where.error->reason;
#endif

    WRITE_IO_BYTE(150, 9);
    EXPECT_EQ(READ_IO_BYTE(150), 0);
    EXPECT_TRUE(readPortByte(150).error.has_value());
    EXPECT_TRUE(writePortByte(160, 1).has_value());
    EXPECT_EQ(filesBelow(), std::vector<std::string>{});
}

// 600 does not fit the channel's 499-character buffer; on Windows 300 fits it but not the
// system's own limit of MAX_PATH.
const TooLongRow kTooLongRows[] = {
        {"LongerThanTheBuffer", 600},
#ifdef _WIN32
        {"LongerThanTheSystemReports", 300},
#endif
};

INSTANTIATE_TEST_SUITE_P(Everywhere, TooLongDirectory, ::testing::ValuesIn(kTooLongRows),
                         rowName<TooLongRow>);

TEST_F(PortChannel, MissingDirectoryIsReportedThenRecovers)
{
    const std::string gone = m_tmp.filePath("no-such-dir");
    PrivateTmpDir::setTemporaryDirectory(gone);
    EXPECT_EQ(READ_IO_BYTE(160), 0);
    const std::optional<AccessError> error = writePortByte(150, 1);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, gone + kSeparator + "emu_port.dat");
    EXPECT_FALSE(pathExists(gone));
    // The next call, with the directory back, works as if nothing had happened.
    ASSERT_TRUE(std::filesystem::create_directory(gone));
    WRITE_IO_BYTE(150, 1);
    EXPECT_EQ(READ_IO_BYTE(150), 1);
}

TEST(PortChannelName, NoTemporaryDirectoryMeansCurrentDirectory)
{
    // A count of 0 is what a failed query gives: the bare name, resolved in the current
    // directory.
    EXPECT_EQ(add_backslash("") + std::string(kPortFileName), "emu_port.dat");
}

#ifdef _WIN32
struct SourceRow {
    const char *name;
    std::optional<const char *> tmp; // the subdirectory TMP names, "" for an empty value
    std::optional<const char *> temp;
    std::optional<const char *> userProfile;
    const char *chosen;
};

class TemporaryDirectorySource : public PortChannel, public ::testing::WithParamInterface<SourceRow> {};

TEST_P(TemporaryDirectorySource, FileGoesWhereTheFirstSetVariablePoints)
{
    const SourceRow &row = GetParam();
    const std::array<std::optional<const char *>, 3> values = {row.tmp, row.temp, row.userProfile};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!values[i])
            setEnvironmentVariable(kTempVariables[i], std::nullopt);
        else if (**values[i] == '\0')
            setEnvironmentVariable(kTempVariables[i], std::string());
        else
            setEnvironmentVariable(kTempVariables[i], m_tmp.makeDirectory(*values[i]));
    }

    const PortFileLocation where = locatePortFile();
    ASSERT_FALSE(where.error.has_value()) << where.error->message();
    const std::string expected = m_tmp.path() + "\\" + row.chosen + "\\emu_port.dat";
    EXPECT_EQ(where.path, expected);

    // The panel's first read leaves an empty file there, and nowhere else.
    EXPECT_EQ(READ_IO_BYTE(160), 0);
    EXPECT_EQ(readFile(expected), std::string());
    EXPECT_EQ(filesBelow(), std::vector<std::string>{expected});
}

INSTANTIATE_TEST_SUITE_P(
        Windows, TemporaryDirectorySource,
        ::testing::Values(SourceRow{"TmpBeforeTheOthers", "tmp", "temp", "profile", "tmp"},
                          SourceRow{"TempWithoutTmp", std::nullopt, "temp", "profile", "temp"},
                          SourceRow{"TempWhenTmpIsEmpty", "", "temp", "profile", "temp"},
                          SourceRow{"UserProfileLast", std::nullopt, std::nullopt, "profile",
                                    "profile"}),
        rowName<SourceRow>);
#else
TEST(TemporaryDirectoryQuery, FollowsTmpDir)
{
    PrivateTmpDir tmp;
    struct Row {
        std::optional<std::string> tmpDir;
        const char *reported;
    };
    for (const Row &row : {Row{"/some/where", "/some/where"}, Row{"", "/tmp"},
                           Row{std::nullopt, "/tmp"}}) {
        SCOPED_TRACE(row.tmpDir.value_or("unset"));
        PrivateTmpDir::setTemporaryDirectory(row.tmpDir);
        char buffer[500];
        EXPECT_EQ(queryTempPath(499, buffer), std::strlen(row.reported));
        EXPECT_STREQ(buffer, row.reported);
    }
}

TEST(TemporaryDirectoryQuery, ReportsTheNeededSize)
{
    PrivateTmpDir tmp;
    PrivateTmpDir::setTemporaryDirectory("/a/longer/dir");
    char buffer[8] = "unused";
    // 13 characters and the zero: more than a buffer of 8 holds.
    EXPECT_EQ(queryTempPath(8, buffer), 14u);
    // At the edge: room for the path and its zero is enough, one less is not.
    char exact[14];
    EXPECT_EQ(queryTempPath(14, exact), 13u);
    EXPECT_STREQ(exact, "/a/longer/dir");
    EXPECT_EQ(queryTempPath(13, exact), 14u);
}
#endif

// --- What a byte is ---------------------------------------------------------------------------

TEST_F(PortChannel, MissingFileReadLeavesAnEmptyFileOnlyTheUserMayUse)
{
    EXPECT_FALSE(pathExists(portFile()));
    EXPECT_EQ(READ_IO_BYTE(160), 0);
    EXPECT_EQ(readFile(portFile()), std::string());
#ifndef _WIN32
    struct stat st{};
    ASSERT_EQ(::stat(portFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & (S_IROTH | S_IWOTH), 0u);
#endif
}

TEST_F(PortChannel, MissingFileWriteGrowsItToThePort)
{
    EXPECT_EQ(READ_IO_BYTE(163), 0);
    WRITE_IO_BYTE(150, 7);
    EXPECT_EQ(readFile(portFile()), std::string(50, '\0') + '\x07');
}

TEST_F(PortChannel, MissingFileMayBeLeftAlone)
{
    const ReadOutcome outcome = readPortByte(160, WhenMissing::ReadZero);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.value, 0);
    EXPECT_FALSE(pathExists(portFile()));
}

TEST_F(PortChannel, PortsBelowTheFirstNeverMakeTheFile)
{
    WRITE_IO_BYTE(99, 5);
    EXPECT_EQ(READ_IO_BYTE(99), 0);
    EXPECT_EQ(READ_IO_BYTE(INT_MIN), 0);
    EXPECT_FALSE(pathExists(portFile()));
}

TEST_F(PortChannel, HighestPortIsReachable)
{
    WRITE_IO_BYTE(65535, 1);
    EXPECT_EQ(std::filesystem::file_size(portFile()), 65436u);
    EXPECT_EQ(READ_IO_BYTE(65535), 1);
    EXPECT_EQ(READ_IO_BYTE(65534), 0);
}

struct ReadRow {
    const char *name;
    std::int32_t port;
    std::uint8_t value;
    bool fails;
};

class ReadSixtyOneBytes : public PortChannel, public ::testing::WithParamInterface<ReadRow> {};

TEST_P(ReadSixtyOneBytes, ReadsItsByteAndLeavesTheFileAlone)
{
    const ReadRow &row = GetParam();
    ASSERT_TRUE(m_tmp.writePortBytes(sixtyOneBytes()));

    EXPECT_EQ(READ_IO_BYTE(row.port), row.value);
    const ReadOutcome outcome = readPortByte(row.port);
    EXPECT_EQ(outcome.value, row.value);
    EXPECT_EQ(outcome.error.has_value(), row.fails);
    if (row.fails) {
        EXPECT_NE(outcome.error->reason.find("no place"), std::string::npos) << outcome.error->reason;
    }
    EXPECT_EQ(readFile(portFile()), sixtyOneBytes());
    EXPECT_TRUE(freeToBeHeldAlone());
}

INSTANTIATE_TEST_SUITE_P(Everywhere, ReadSixtyOneBytes,
                         ::testing::Values(ReadRow{"FirstPort", 100, 17, false},
                                           ReadRow{"SecondPort", 101, 170, false},
                                           ReadRow{"SensorPort", 150, 170, false},
                                           ReadRow{"LastByte", 160, 3, false},
                                           ReadRow{"JustPastTheEnd", 161, 0, false},
                                           ReadRow{"LightThreePastTheEnd", 162, 0, false},
                                           ReadRow{"LastLight", 163, 0, false},
                                           ReadRow{"FarPastTheEnd", 65535, 0, false},
                                           ReadRow{"HighestPort", INT_MAX, 0, false},
                                           ReadRow{"PortBelowTheFirst", 99, 0, true},
                                           ReadRow{"PortZero", 0, 0, true},
                                           ReadRow{"LowestPort", INT_MIN, 0, true}),
                         rowName<ReadRow>);

struct WriteRow {
    const char *name;
    std::int32_t port;
    std::uint8_t value;
    std::size_t size; // of the file afterwards
    int offset; // the byte that changed, -1 for none
};

class WriteSixtyOneBytes : public PortChannel, public ::testing::WithParamInterface<WriteRow> {};

TEST_P(WriteSixtyOneBytes, ChangesOnlyItsByte)
{
    const WriteRow &row = GetParam();
    ASSERT_TRUE(m_tmp.writePortBytes(sixtyOneBytes()));

    WRITE_IO_BYTE(row.port, row.value);
    if (row.offset < 0) {
        const std::optional<AccessError> error = writePortByte(row.port, row.value);
        ASSERT_TRUE(error.has_value());
        EXPECT_NE(error->reason.find("no place"), std::string::npos) << error->reason;
    }

    std::string expected = sixtyOneBytes();
    expected.resize(row.size, '\0');
    if (row.offset >= 0)
        expected[static_cast<std::size_t>(row.offset)] = static_cast<char>(row.value);
    EXPECT_EQ(readFile(portFile()), expected);
    if (row.offset >= 0) {
        EXPECT_EQ(READ_IO_BYTE(row.port), row.value);
    }
    EXPECT_TRUE(freeToBeHeldAlone());
}

INSTANTIATE_TEST_SUITE_P(Everywhere, WriteSixtyOneBytes,
                         ::testing::Values(WriteRow{"SensorPort", 150, 255, 61, 50},
                                           WriteRow{"FirstPort", 100, 1, 61, 0},
                                           WriteRow{"LastByte", 160, 0, 61, 60},
                                           WriteRow{"PastTheEnd", 163, 4, 64, 63},
                                           WriteRow{"PortBelowTheFirst", 99, 5, 61, -1},
                                           WriteRow{"PortZero", 0, 0xEE, 61, -1},
                                           WriteRow{"PortMinusOne", -1, 0xEE, 61, -1},
                                           WriteRow{"LowestPort", INT_MIN, 5, 61, -1}),
                         rowName<WriteRow>);

// --- What is never followed or overwritten -----------------------------------------------------

enum class Planted {
    Directory,
    HardLink,
    SymbolicLink,
#ifndef _WIN32
    DanglingLink,
    Fifo,
    Socket,
    Device,
#endif
};

struct PlantedRow {
    const char *name;
    Planted what;
};

namespace {

// Runs `access` and fails the whole test run if it has not returned within a few seconds: an
// access that blocks (on a FIFO, say) would otherwise hang the suite until ctest's timeout.
void withWatchdog(const char *what, const std::function<void()> &access)
{
    auto done = std::async(std::launch::async, access);
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        std::cerr << what << " blocked for 5 s; giving up\n";
        std::_Exit(1);
    }
    done.get();
}

} // namespace

class SomethingElseAtTheName : public PortChannel, public ::testing::WithParamInterface<PlantedRow> {
protected:
    void TearDown() override
    {
#ifndef _WIN32
        if (m_socket >= 0)
            ::close(m_socket);
#endif
    }
    int m_socket = -1;
};

TEST_P(SomethingElseAtTheName, IsRefusedAndLeftAsItIs)
{
    const std::string target = m_tmp.filePath("elsewhere.dat");
    const std::string targetBytes(64, '\x01');
    const Planted what = GetParam().what;
#ifndef _WIN32
    if (what != Planted::DanglingLink)
#endif
    {
        ASSERT_TRUE(writeFileBytes(target, targetBytes));
    }
    const std::string name = portFile();
    switch (what) {
    case Planted::Directory:
        ASSERT_TRUE(std::filesystem::create_directory(name));
        break;
#ifdef _WIN32
    case Planted::HardLink:
        ASSERT_TRUE(::CreateHardLinkA(name.c_str(), target.c_str(), nullptr));
        break;
    case Planted::SymbolicLink: {
        // Wine answers with success and makes nothing: there is no link to test then.
        const bool made = ::CreateSymbolicLinkA(name.c_str(), target.c_str(), 0);
        const DWORD attributes = ::GetFileAttributesA(name.c_str());
        if (!made || attributes == INVALID_FILE_ATTRIBUTES
            || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            GTEST_SKIP() << "no symbolic link can be made here";
        break;
    }
#else
    case Planted::HardLink:
        ASSERT_EQ(::link(target.c_str(), name.c_str()), 0);
        break;
    case Planted::SymbolicLink:
    case Planted::DanglingLink:
        ASSERT_EQ(::symlink(target.c_str(), name.c_str()), 0);
        break;
    case Planted::Fifo:
        ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
        break;
    case Planted::Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (name.size() >= sizeof(address.sun_path))
            GTEST_SKIP() << "the temporary directory's path is too long for a socket name";
        std::strncpy(address.sun_path, name.c_str(), sizeof(address.sun_path) - 1);
        m_socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        break;
    }
    case Planted::Device:
        // The node of /dev/null, made here; only a privileged user may make one.
        if (::mknod(name.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            GTEST_SKIP() << "making a device node needs privileges this run does not have";
        break;
#endif
    }

    withWatchdog("an access to a hostile port file", [] {
        EXPECT_EQ(READ_IO_BYTE(160), 0);
        WRITE_IO_BYTE(150, 7);
        EXPECT_EQ(READ_IO_BYTE(150), 0);
    });

    const ReadOutcome outcome = readPortByte(160);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_EQ(outcome.error->path, name);
    EXPECT_FALSE(outcome.error->reason.empty());
    EXPECT_TRUE(writePortByte(150, 7).has_value());
#ifndef _WIN32
    if (what == Planted::DanglingLink) {
        EXPECT_FALSE(pathExists(target)) << "a link's target was created";
        return;
    }
#endif
    EXPECT_EQ(readFile(target), targetBytes);
}

const PlantedRow kPlantedRows[] = {
        {"Directory", Planted::Directory},
        {"HardLink", Planted::HardLink},
        {"SymbolicLink", Planted::SymbolicLink},
#ifndef _WIN32
        {"DanglingLink", Planted::DanglingLink},
        {"Fifo", Planted::Fifo},
        {"Socket", Planted::Socket},
        {"Device", Planted::Device},
#endif
};

INSTANTIATE_TEST_SUITE_P(Everywhere, SomethingElseAtTheName, ::testing::ValuesIn(kPlantedRows),
                         rowName<PlantedRow>);

#ifndef _WIN32
TEST_F(PortChannel, AnotherUsersFileIsRefused)
{
    ASSERT_TRUE(m_tmp.writePortBytes(std::string(61, '\x04')));
    const uid_t nobody = 65534;
    if (::geteuid() == nobody || ::chown(portFile().c_str(), nobody, -1) != 0)
        GTEST_SKIP() << "giving a file to another user needs privileges this run does not have";

    EXPECT_EQ(READ_IO_BYTE(160), 0);
    WRITE_IO_BYTE(150, 1);
    EXPECT_EQ(m_tmp.portBytes(), std::string(61, '\x04'));
    const ReadOutcome outcome = readPortByte(160);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_NE(outcome.error->reason.find("another user"), std::string::npos) << outcome.error->reason;
}

TEST_F(PortChannel, UnreadableFileIsAFailureThenRecovers)
{
    ASSERT_TRUE(m_tmp.writePortBytes(std::string(61, '\x02')));
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    ASSERT_EQ(::chmod(portFile().c_str(), 0), 0);
    EXPECT_EQ(READ_IO_BYTE(160), 0);
    EXPECT_TRUE(readPortByte(160).error.has_value());

    ASSERT_EQ(::chmod(portFile().c_str(), 0600), 0);
    EXPECT_EQ(READ_IO_BYTE(160), 2);
}
#endif

// --- Sharing with the emulator ----------------------------------------------------------------

#ifdef _WIN32
struct SharingRow {
    const char *name;
    DWORD access; // what the other side opened the file for
    DWORD share; // and what it let others do meanwhile
    bool accessible; // whether the channel gets through meanwhile
};

class HeldByAnother : public PortChannel, public ::testing::WithParamInterface<SharingRow> {};

TEST_P(HeldByAnother, FailsSilentlyWhileDeniedAndWorksAfterwards)
{
    const SharingRow &row = GetParam();
    std::string before(64, '\0');
    before[50] = 2;
    before[60] = 4;
    ASSERT_TRUE(m_tmp.writePortBytes(before));

    const HANDLE other = ::CreateFileA(portFile().c_str(), row.access, row.share, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(READ_IO_BYTE(160), row.accessible ? 4 : 0);
    EXPECT_EQ(readPortByte(160).error.has_value(), !row.accessible);
    WRITE_IO_BYTE(150, 9);
    ::CloseHandle(other);

    EXPECT_EQ(m_tmp.portBytes().at(50), row.accessible ? 9 : 2);
    EXPECT_EQ(READ_IO_BYTE(160), 4);
    WRITE_IO_BYTE(150, 11);
    EXPECT_EQ(READ_IO_BYTE(150), 11);
    EXPECT_TRUE(freeToBeHeldAlone());
}

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

INSTANTIATE_TEST_SUITE_P(
        Windows, HeldByAnother,
        ::testing::Values(
                SharingRow{"SharingNothing", kReadWrite, 0, false},
                SharingRow{"SharingOnlyReading", kReadWrite, FILE_SHARE_READ, false},
                SharingRow{"SharingReadingAndWriting", kReadWrite,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, true},
                // The emulator may hold the file with the right to delete or replace it.
                SharingRow{"HoldingItForDeletion", kReadWrite | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true}),
        rowName<SharingRow>);
#else
TEST_F(PortChannel, EmulatorWritesAreNeverLost)
{
    ASSERT_TRUE(m_tmp.writePortBytes(std::string(100, '\0')));
    const std::string path = portFile();

    // The emulator: another process that keeps storing its own bytes, one access at a time,
    // everywhere but the sensor byte, while this process writes the sensor byte over and over.
    constexpr int kRounds = 300;
    const pid_t emulator = ::fork();
    ASSERT_GE(emulator, 0);
    if (emulator == 0) {
        for (int round = 1; round <= kRounds; ++round) {
            for (int offset = 0; offset < 100; ++offset) {
                if (offset == 50)
                    continue;
                const int fd = ::open(path.c_str(), O_RDWR);
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
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    WRITE_IO_BYTE(150, 9);

    const std::string bytes = m_tmp.portBytes();
    ASSERT_EQ(bytes.size(), 100u);
    for (int offset = 0; offset < 100; ++offset) {
        const int expected = offset == 50 ? 9 : (kRounds + offset) & 0xFF;
        EXPECT_EQ(static_cast<unsigned char>(bytes[static_cast<std::size_t>(offset)]), expected)
                << "offset " << offset;
    }
}
#endif
