// SPDX-License-Identifier: MIT
// The real bexen-ports executable as a user runs it, on every platform: its exit codes, what it
// prints (text lines end the Windows way there), and the temporary directory it inherits choosing
// its port file as it chooses the panel's. On POSIX also against things planted at the port
// file's name and stopped with Ctrl-C; on Windows against a file held without sharing.

#include "support/private_tmpdir.h"
#include "support/text.h"
#include "support/tool_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace bexen::testing;

namespace {

#ifdef _WIN32
const std::string kEol = "\r\n";
#else
const std::string kEol = "\n";
#endif

// Lines as the tool prints them: "a\nb\n" with the platform's line ends.
std::string lines(const std::string &text)
{
    return replaced(text, '\n', kEol);
}

class PortsProcess : public ::testing::Test {
protected:
    PrivateTmpDir m_tmp;
};

} // namespace

TEST_F(PortsProcess, SetGetAndWhereUseTheTemporaryDirectory)
{
    const Finished set = runTool({"set", "150", "7", "160", "4"});
    EXPECT_EQ(set.code, 0);
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(set.err, "");
    EXPECT_EQ(m_tmp.portBytes(), std::string(50, '\0') + '\x07' + std::string(9, '\0') + '\x04');

    const Finished get = runTool({"get", "150", "160", "161"});
    EXPECT_EQ(get.code, 0);
    EXPECT_EQ(get.out, lines("7\n4\n0\n"));
    EXPECT_EQ(get.err, "");

    const Finished where = runTool({"where"});
    EXPECT_EQ(where.code, 0);
    EXPECT_EQ(where.out, lines(m_tmp.portFile() + "\n"));
}

TEST_F(PortsProcess, GetOfAMissingFileReadsZeroAndMakesNoFile)
{
    const Finished get = runTool({"get", "150", "163"});
    EXPECT_EQ(get.code, 0);
    EXPECT_EQ(get.out, lines("0\n0\n"));
    EXPECT_FALSE(pathExists(m_tmp.portFile()));
}

TEST_F(PortsProcess, FileGivenAsAPath)
{
    const std::string given = m_tmp.makeDirectory("given") + kSeparator + "ports.dat";
    const Finished set = runTool({"--file", given, "set", "163", "4"});
    EXPECT_EQ(set.code, 0);
    EXPECT_EQ(set.err, "");
    EXPECT_EQ(fileBytes(given), std::string(63, '\0') + '\x04');

    const Finished get = runTool({"get", "163", "--file", given});
    EXPECT_EQ(get.out, lines("4\n"));
    EXPECT_FALSE(pathExists(m_tmp.portFile()));
}

TEST_F(PortsProcess, ExitCodes)
{
    struct Row {
        const char *name;
        std::vector<std::string> args;
        int code;
        std::string out;
    };
    // One directory for all rows, so "get" sees what "set" stored.
    const std::string missing = m_tmp.filePath("no-such-dir") + kSeparator + "x";
    const Row rows[] = {
            {"set", {"set", "150", "3", "160", "4"}, 0, ""},
            {"get", {"get", "150", "160"}, 0, lines("3\n4\n")},
            {"bad port", {"get", "1500000"}, 2, ""},
            {"bad value", {"set", "150", "300"}, 2, ""},
            {"unknown command", {"status"}, 2, ""},
            {"no command", {}, 2, ""},
            {"missing directory", {"--file", missing, "get", "150"}, 1, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Finished f = runTool(row.args);
        EXPECT_EQ(f.code, row.code) << f.err;
        EXPECT_EQ(f.out, row.out);
        EXPECT_EQ(f.err.empty(), row.code == 0) << f.err;
    }
}

TEST_F(PortsProcess, FailureIsOneLineAndTouchesNothing)
{
    enum class TmpIs { Private, Missing, TooLong };
    struct Row {
        const char *name;
        std::vector<std::string> args;
        TmpIs tmp;
        int code;
        bool namesTheFile; // the message starts with the port file's path
    };
    const Row rows[] = {
            {"get in a missing directory", {"get", "150"}, TmpIs::Missing, 1, true},
            {"set in a missing directory", {"set", "150", "1"}, TmpIs::Missing, 1, true},
            {"set with a too long directory", {"set", "150", "1"}, TmpIs::TooLong, 1, false},
            {"port below the first", {"get", "99"}, TmpIs::Private, 2, false},
            {"value above a byte", {"set", "150", "256"}, TmpIs::Private, 2, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::string dir = m_tmp.path();
        if (row.tmp == TmpIs::Missing)
            dir += kSeparator + std::string("no-such-dir");
        while (row.tmp == TmpIs::TooLong && dir.size() < 600)
            dir += kSeparator + std::string(40, 'd');
        PrivateTmpDir::setTemporaryDirectory(dir);

        const Finished f = runTool(row.args);
        EXPECT_EQ(f.code, row.code);
        EXPECT_EQ(f.out, "");
        EXPECT_EQ(countOf(f.err, '\n'), 1) << f.err;
        const std::string prefix = row.namesTheFile
                ? "bexen-ports: " + dir + kSeparator + "emu_port.dat: "
                : std::string("bexen-ports: ");
        EXPECT_TRUE(startsWith(f.err, prefix)) << f.err;
        EXPECT_TRUE(std::filesystem::is_empty(m_tmp.path()));
    }
}

// A short scenario graded with the demo as the controller, started and ended by the test itself
// as a course's autograder would have it do. Real time: four seconds.
TEST_F(PortsProcess, TestGradesAScenarioAgainstTheDemoItStarts)
{
    const std::string scenario = m_tmp.filePath("short.txt");
    ASSERT_TRUE(writeFileBytes(scenario, "name short\nduration 4\n0.5 car 2\n"));
    const std::string results = m_tmp.filePath("results.json");
    const Finished test = runTool({"test", scenario, "--gradescope", results, "--", portsToolPath(),
                                   "demo", "--min-green", "0.5", "--yellow", "0.5", "--red-yellow",
                                   "0.3", "--all-red", "0.3"});
    EXPECT_EQ(test.code, 0) << test.out << test.err;
    EXPECT_TRUE(contains(test.out, lines("PASS short (4.0 s)\n"))) << test.out;
    EXPECT_TRUE(contains(test.out, lines("1 of 1 scenarios passed; score 1 of 1\n"))) << test.out;
    EXPECT_EQ(test.err, "");
    EXPECT_TRUE(contains(fileBytes(results), "\"status\": \"passed\""));
    // The run had a port file of its own, gone with its directory: the temporary directory
    // holds what the test put there and nothing else.
    EXPECT_EQ(entriesOf(m_tmp.path()), (std::vector<std::string>{"results.json", "short.txt"}));
}

#ifdef _WIN32
// Unicorn is not built for Windows: the commands that need the CPU emulator say so in one line,
// and the help does not offer them.
TEST_F(PortsProcess, WithoutTheMachineRunAndProgramRefuseAndAreNotListed)
{
    const std::string program = m_tmp.filePath("x.com");
    ASSERT_TRUE(writeFileBytes(program, "\xCD\x20"));
    const std::vector<std::string> refused[] = {{"run", program}, {"test", "--program", program}};
    for (const std::vector<std::string> &args : refused) {
        SCOPED_TRACE(args.front());
        const Finished f = runTool(args);
        EXPECT_EQ(f.code, 2);
        EXPECT_EQ(f.out, "");
        EXPECT_EQ(countOf(f.err, '\n'), 1) << f.err;
        EXPECT_TRUE(contains(f.err, "this build of bexen-ports has no machine to run a DOS program"))
                << f.err;
    }
    const std::vector<std::string> helps[] = {{"--help"}, {"test", "--help"}};
    for (const std::vector<std::string> &args : helps) {
        SCOPED_TRACE(args.front());
        const Finished f = runTool(args);
        EXPECT_EQ(f.code, 0);
        EXPECT_TRUE(contains(f.out, "  test ") || contains(f.out, "--list")) << f.out;
        for (const char *absent : {"  run ", "options of run", "--program", "--speed"})
            EXPECT_FALSE(contains(f.out, absent)) << absent << " in\n" << f.out;
    }
}

TEST_F(PortsProcess, FileHeldWithoutSharingIsReportedThenWorks)
{
    ASSERT_TRUE(m_tmp.writePortBytes(std::string(64, '\0')));
    const HANDLE other = ::CreateFileA(m_tmp.portFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const Finished held = runTool({"set", "150", "1"});
    ::CloseHandle(other);
    EXPECT_EQ(held.code, 1);
    EXPECT_TRUE(startsWith(held.err, "bexen-ports: " + m_tmp.portFile() + ": ")) << held.err;
    EXPECT_EQ(countOf(held.err, '\n'), 1);
    EXPECT_EQ(m_tmp.portBytes(), std::string(64, '\0'));

    const Finished set = runTool({"set", "150", "1"});
    EXPECT_EQ(set.code, 0);
    EXPECT_EQ(m_tmp.portBytes().at(50), 1);
}
#else
// Every run has a watchdog: a tool that blocked on a FIFO would otherwise hang the test instead
// of failing it.
TEST_F(PortsProcess, ObstacleAtTheName)
{
    enum class Obstacle { Fifo, Symlink, Directory, HardLink };
    struct Row {
        const char *name;
        Obstacle obstacle;
        const char *reason;
    };
    const Row obstacles[] = {
            {"fifo", Obstacle::Fifo, "is not a regular file"},
            {"symlink", Obstacle::Symlink, "is a symbolic link"},
            {"directory", Obstacle::Directory, "is a directory"}, // "Is a directory" for writing
            {"hard link", Obstacle::HardLink, "hard links"},
    };
    const std::vector<std::string> commands[] = {{"get", "150"}, {"set", "150", "1"}, {"dump"}, {"watch"}};
    for (const Row &row : obstacles) {
        for (const std::vector<std::string> &args : commands) {
            SCOPED_TRACE(std::string(row.name) + ", " + args.front());
            PrivateTmpDir tmp;
            const std::string name = tmp.portFile();
            const std::string elsewhere = tmp.filePath("emulator-owned.dat");
            const std::string elsewhereBytes(64, char(1));
            ASSERT_TRUE(writeFileBytes(elsewhere, elsewhereBytes));
            switch (row.obstacle) {
            case Obstacle::Fifo: ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0); break;
            case Obstacle::Symlink: ASSERT_EQ(::symlink(elsewhere.c_str(), name.c_str()), 0); break;
            case Obstacle::Directory: ASSERT_TRUE(std::filesystem::create_directory(name)); break;
            case Obstacle::HardLink: ASSERT_EQ(::link(elsewhere.c_str(), name.c_str()), 0); break;
            }

            // Both ways of naming the file: the temporary directory's and --file.
            for (const bool viaFileOption : {false, true}) {
                std::vector<std::string> how = args;
                if (viaFileOption)
                    how.insert(how.begin(), {"--file", name});
                const Finished f = runTool(how);
                EXPECT_EQ(f.code, 1) << f.err;
                EXPECT_EQ(countOf(f.err, '\n'), 1) << f.err;
                EXPECT_TRUE(startsWith(f.err, "bexen-ports: " + name + ": ")) << f.err;
                std::string lower = f.err;
                for (char &c : lower)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                EXPECT_TRUE(contains(lower, row.reason)) << f.err;
                if (args.front() == "get") {
                    EXPECT_EQ(f.out, "");
                }
            }

            // What was planted is as it was, and the file it points at was not written through it.
            EXPECT_EQ(readFile(elsewhere), elsewhereBytes);
            struct stat st{};
            ASSERT_EQ(::lstat(name.c_str(), &st), 0);
            if (row.obstacle == Obstacle::Fifo) {
                EXPECT_TRUE(S_ISFIFO(st.st_mode));
            } else if (row.obstacle == Obstacle::Symlink) {
                EXPECT_TRUE(S_ISLNK(st.st_mode));
            } else if (row.obstacle == Obstacle::Directory) {
                EXPECT_TRUE(S_ISDIR(st.st_mode));
            }
        }
    }
}

TEST_F(PortsProcess, WatchEndsOnCtrlC)
{
    ToolProcess watch({"watch", "--interval", "20"});
    ASSERT_TRUE(watch.waitFor([&] { return countOf(watch.out(), '\n') >= 5; })) << watch.out();

    ASSERT_EQ(runTool({"set", "161", "4"}).code, 0);
    ASSERT_TRUE(watch.waitFor([&] { return countOf(watch.out(), '\n') >= 6; })) << watch.out();
    EXPECT_TRUE(endsWith(watch.out(), "  light 2 (port 161): 4 green\n")) << watch.out();

    watch.signal(SIGINT);
    ASSERT_TRUE(watch.finish()) << "watch did not end on SIGINT";
    EXPECT_EQ(watch.exitCode(), 0);
    EXPECT_TRUE(!pathExists(m_tmp.portFile()) || std::filesystem::file_size(m_tmp.portFile()) == 62);
}
#endif
