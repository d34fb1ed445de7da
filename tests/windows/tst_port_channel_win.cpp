// SPDX-License-Identifier: MIT
// The port file channel on Windows: where GetTempPathA puts the file, what a byte is, and how
// the open shares the file with the emulator.

#include "port_channel.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <vector>

using namespace bexen::io;
using namespace bexen::wintest;

namespace {

// Every test gets TMP pointed at a directory of its own and TEMP and USERPROFILE as they were.
class PortChannel : public ::testing::Test {
protected:
    void SetUp() override { setEnvironmentVariable("TMP", m_dir.path()); }

    std::string portFile() const { return m_dir.portFile(); }

    // Whether another process could now have the file to itself: the channel holds no handle.
    bool freeToBeHeldAlone() const
    {
        const HANDLE h = ::CreateFileA(portFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        ::CloseHandle(h);
        return true;
    }

    // Regular files anywhere below the private directory.
    std::vector<std::string> filesBelow() const
    {
        std::vector<std::string> files;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(m_dir.path()))
            if (entry.is_regular_file())
                files.push_back(entry.path().string());
        return files;
    }

    // The directory goes last, once the current directory has been moved out of it.
    PrivateDirectory m_dir;
    SavedEnvironment m_saved;
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
            setEnvironmentVariable(kTempVariables[i], m_dir.makeDirectory(*values[i]));
    }

    const PortFileLocation where = locatePortFile();
    ASSERT_FALSE(where.error.has_value()) << where.error->message();
    const std::string expected = m_dir.path() + "\\" + row.chosen + "\\emu_port.dat";
    EXPECT_EQ(where.path, expected);

    // The panel's first read leaves an empty file there, and nowhere else.
    EXPECT_EQ(READ_IO_BYTE(160), 0);
    EXPECT_EQ(fileBytes(expected), std::string());
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

struct SpellingRow {
    const char *name;
    const char *suffix; // appended to the directory as TMP spells it
    bool forwardSlashes; // every "\" of the directory written "/"
};

class DirectorySpelling : public PortChannel, public ::testing::WithParamInterface<SpellingRow> {};

TEST_P(DirectorySpelling, GivesTheDirectoryOneBackslashAndTheName)
{
    const SpellingRow &row = GetParam();
    const std::string dir = m_dir.makeDirectory("spelled");
    std::string tmp = dir + row.suffix;
    if (row.forwardSlashes)
        for (char &c : tmp)
            if (c == '\\')
                c = '/';
    setEnvironmentVariable("TMP", tmp);

    const PortFileLocation where = locatePortFile();
    ASSERT_FALSE(where.error.has_value()) << where.error->message();
    EXPECT_EQ(where.path, dir + "\\emu_port.dat");

    WRITE_IO_BYTE(150, 5);
    EXPECT_EQ(fileBytes(dir + "\\emu_port.dat"), std::string(50, '\0') + '\x05');
}

// GetTempPathA reports the directory with a trailing backslash of its own and its slashes turned
// into backslashes, so all of these name the same file.
INSTANTIATE_TEST_SUITE_P(Windows, DirectorySpelling,
                         ::testing::Values(SpellingRow{"WithoutTrailingBackslash", "", false},
                                           SpellingRow{"WithTrailingBackslash", "\\", false},
                                           SpellingRow{"EndingInSlash", "/", false},
                                           SpellingRow{"SlashesThroughout", "/", true}),
                         rowName<SpellingRow>);

struct BackslashRow {
    const char *name;
    const char *dir;
    const char *expected;
};

class AddBackslash : public ::testing::TestWithParam<BackslashRow> {};

TEST_P(AddBackslash, AppendsOnlyAMissingBackslash)
{
    EXPECT_EQ(add_backslash(GetParam().dir), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
        Windows, AddBackslash,
        ::testing::Values(BackslashRow{"Empty", "", ""},
                          BackslashRow{"NoSeparator", "C:\\Temp", "C:\\Temp\\"},
                          BackslashRow{"Backslash", "C:\\Temp\\", "C:\\Temp\\"},
                          BackslashRow{"SlashIsNoSeparator", "C:\\Temp/", "C:\\Temp/\\"},
                          BackslashRow{"DriveRoot", "C:\\", "C:\\"},
                          BackslashRow{"Relative", "ports", "ports\\"}),
        rowName<BackslashRow>);

struct TooLongRow {
    const char *name;
    std::size_t length;
};

class TooLongDirectory : public PortChannel, public ::testing::WithParamInterface<TooLongRow> {};

TEST_P(TooLongDirectory, EveryAccessFailsAndNoFileIsMade)
{
    // A failed query would put the file in the current directory: make that one of ours too,
    // so a file there would show.
    const std::string current = m_dir.makeDirectory("current");
    ASSERT_TRUE(::SetCurrentDirectoryA(current.c_str()));
    std::string tmp = m_dir.path();
    while (tmp.size() < GetParam().length)
        tmp += "\\" + std::string(40, 'd');
    setEnvironmentVariable("TMP", tmp);

    const PortFileLocation where = locatePortFile();
    EXPECT_TRUE(where.error.has_value());
    EXPECT_EQ(where.path, "");

    WRITE_IO_BYTE(150, 9);
    EXPECT_EQ(READ_IO_BYTE(150), 0);
    EXPECT_TRUE(readPortByte(150).error.has_value());
    EXPECT_TRUE(writePortByte(160, 1).has_value());
    EXPECT_EQ(filesBelow(), std::vector<std::string>{});
}

// 600 does not fit the channel's 499-character buffer; 300 fits it but not the system's own
// limit of MAX_PATH.
INSTANTIATE_TEST_SUITE_P(Windows, TooLongDirectory,
                         ::testing::Values(TooLongRow{"LongerThanTheBuffer", 600},
                                           TooLongRow{"LongerThanTheSystemReports", 300}),
                         rowName<TooLongRow>);

// --- What a byte is ---------------------------------------------------------------------------

TEST_F(PortChannel, MissingFileReadLeavesAnEmptyFile)
{
    EXPECT_EQ(READ_IO_BYTE(160), 0);
    EXPECT_EQ(fileBytes(portFile()), std::string());
}

TEST_F(PortChannel, MissingFileWriteGrowsItToThePort)
{
    EXPECT_EQ(READ_IO_BYTE(163), 0);
    WRITE_IO_BYTE(150, 7);
    EXPECT_EQ(fileBytes(portFile()), std::string(50, '\0') + '\x07');
}

TEST_F(PortChannel, PortsBelowTheFirstNeverMakeTheFile)
{
    WRITE_IO_BYTE(99, 5);
    EXPECT_EQ(READ_IO_BYTE(99), 0);
    EXPECT_EQ(READ_IO_BYTE(INT_MIN), 0);
    EXPECT_FALSE(exists(portFile()));
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
    ASSERT_TRUE(writeFile(portFile(), sixtyOneBytes()));

    EXPECT_EQ(READ_IO_BYTE(row.port), row.value);
    const ReadOutcome outcome = readPortByte(row.port);
    EXPECT_EQ(outcome.value, row.value);
    EXPECT_EQ(outcome.error.has_value(), row.fails);
    EXPECT_EQ(fileBytes(portFile()), sixtyOneBytes());
    EXPECT_TRUE(freeToBeHeldAlone());
}

INSTANTIATE_TEST_SUITE_P(Windows, ReadSixtyOneBytes,
                         ::testing::Values(ReadRow{"FirstPort", 100, 17, false},
                                           ReadRow{"SensorPort", 150, 170, false},
                                           ReadRow{"LastByte", 160, 3, false},
                                           ReadRow{"JustPastTheEnd", 161, 0, false},
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
    ASSERT_TRUE(writeFile(portFile(), sixtyOneBytes()));

    WRITE_IO_BYTE(row.port, row.value);

    std::string expected = sixtyOneBytes();
    expected.resize(row.size, '\0');
    if (row.offset >= 0)
        expected[static_cast<std::size_t>(row.offset)] = static_cast<char>(row.value);
    EXPECT_EQ(fileBytes(portFile()), expected);
    if (row.offset >= 0) {
        EXPECT_EQ(READ_IO_BYTE(row.port), row.value);
    }
    EXPECT_TRUE(freeToBeHeldAlone());
}

INSTANTIATE_TEST_SUITE_P(Windows, WriteSixtyOneBytes,
                         ::testing::Values(WriteRow{"SensorPort", 150, 255, 61, 50},
                                           WriteRow{"FirstPort", 100, 1, 61, 0},
                                           WriteRow{"LastByte", 160, 0, 61, 60},
                                           WriteRow{"PastTheEnd", 163, 4, 64, 63},
                                           WriteRow{"PortBelowTheFirst", 99, 5, 61, -1},
                                           WriteRow{"LowestPort", INT_MIN, 5, 61, -1}),
                         rowName<WriteRow>);

// --- Sharing with the emulator ----------------------------------------------------------------

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
    ASSERT_TRUE(writeFile(portFile(), before));

    const HANDLE other = ::CreateFileA(portFile().c_str(), row.access, row.share, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(READ_IO_BYTE(160), row.accessible ? 4 : 0);
    EXPECT_EQ(readPortByte(160).error.has_value(), !row.accessible);
    WRITE_IO_BYTE(150, 9);
    ::CloseHandle(other);

    EXPECT_EQ(fileBytes(portFile()).value_or("").at(50), row.accessible ? 9 : 2);
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

// --- What is never followed or overwritten -----------------------------------------------------

enum class Planted { Directory, HardLink, SymbolicLink };

struct PlantedRow {
    const char *name;
    Planted what;
};

class SomethingElseAtTheName : public PortChannel, public ::testing::WithParamInterface<PlantedRow> {};

TEST_P(SomethingElseAtTheName, IsRefusedAndLeftAsItIs)
{
    const std::string target = m_dir.file("elsewhere.dat");
    const std::string targetBytes(64, '\x01');
    ASSERT_TRUE(writeFile(target, targetBytes));
    switch (GetParam().what) {
    case Planted::Directory:
        ASSERT_TRUE(::CreateDirectoryA(portFile().c_str(), nullptr));
        break;
    case Planted::HardLink:
        ASSERT_TRUE(::CreateHardLinkA(portFile().c_str(), target.c_str(), nullptr));
        break;
    case Planted::SymbolicLink: {
        // Wine answers with success and makes nothing: there is no link to test then.
        const bool made = ::CreateSymbolicLinkA(portFile().c_str(), target.c_str(), 0);
        const DWORD attributes = ::GetFileAttributesA(portFile().c_str());
        if (!made || attributes == INVALID_FILE_ATTRIBUTES
            || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            GTEST_SKIP() << "no symbolic link can be made here";
        break;
    }
    }

    EXPECT_EQ(READ_IO_BYTE(150), 0);
    EXPECT_TRUE(readPortByte(150).error.has_value());
    WRITE_IO_BYTE(150, 9);
    EXPECT_TRUE(writePortByte(160, 4).has_value());
    EXPECT_EQ(fileBytes(target), targetBytes);
}

INSTANTIATE_TEST_SUITE_P(Windows, SomethingElseAtTheName,
                         ::testing::Values(PlantedRow{"Directory", Planted::Directory},
                                           PlantedRow{"HardLink", Planted::HardLink},
                                           PlantedRow{"SymbolicLink", Planted::SymbolicLink}),
                         rowName<PlantedRow>);
