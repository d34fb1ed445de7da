// SPDX-License-Identifier: MIT
// bexen-ports.exe run as a real process on Windows paths. It inherits the environment the test
// sets, so TMP chooses its port file as it chooses the panel's.

#include "windows_test_support.h"

#include "commands/windows_arguments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using namespace bexen::wintest;
using bexen::ports::quotedArgument;

namespace {

struct Finished {
    DWORD code = 0;
    std::string out;
    std::string err;
};

std::string toolPath()
{
    std::array<char, MAX_PATH> self{};
    const DWORD length = ::GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size()));
    std::string path(self.data(), length);
    return path.substr(0, path.find_last_of('\\') + 1) + "bexen-ports.exe";
}

std::string drain(HANDLE pipe)
{
    std::string text;
    std::array<char, 4096> chunk{};
    DWORD got = 0;
    while (::ReadFile(pipe, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0)
        text.append(chunk.data(), got);
    ::CloseHandle(pipe);
    return text;
}

// Runs the tool to its end (a watchdog ends it after 60 s) and collects what it printed.
Finished runTool(const std::vector<std::string> &args)
{
    const std::string tool = toolPath();
    std::string commandLine = quotedArgument(tool);
    for (const std::string &arg : args)
        commandLine += " " + quotedArgument(arg);

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!::CreatePipe(&outRead, &outWrite, &inherit, 0) || !::CreatePipe(&errRead, &errWrite, &inherit, 0))
        throw std::runtime_error("cannot make pipes for the tool");
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    const HANDLE nothing = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inherit, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessA(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                          0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    ::CloseHandle(nothing);
    if (!started) {
        ::CloseHandle(outRead);
        ::CloseHandle(errRead);
        throw std::runtime_error("cannot start " + tool + " (error "
                                 + std::to_string(::GetLastError()) + ")");
    }

    Finished finished;
    std::thread errors([&] { finished.err = drain(errRead); });
    finished.out = drain(outRead);
    if (::WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 124);
    errors.join();
    ::GetExitCodeProcess(process.hProcess, &finished.code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return finished;
}

class PortsTool : public ::testing::Test {
protected:
    void SetUp() override { setEnvironmentVariable("TMP", m_dir.path()); }

    // The directory goes last, once the current directory has been moved out of it.
    PrivateDirectory m_dir;
    SavedEnvironment m_saved;
};

template <typename Row>
std::string rowName(const ::testing::TestParamInfo<Row> &info)
{
    return info.param.name;
}

} // namespace

TEST_F(PortsTool, SetGetAndWhereUseTheTemporaryDirectory)
{
    Finished set = runTool({"set", "150", "7", "160", "4"});
    EXPECT_EQ(set.code, 0u);
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(set.err, "");
    EXPECT_EQ(fileBytes(m_dir.portFile()), std::string(50, '\0') + '\x07' + std::string(9, '\0') + '\x04');

    // Text output ends its lines the Windows way.
    Finished get = runTool({"get", "150", "160", "161"});
    EXPECT_EQ(get.code, 0u);
    EXPECT_EQ(get.out, "7\r\n4\r\n0\r\n");
    EXPECT_EQ(get.err, "");

    Finished where = runTool({"where"});
    EXPECT_EQ(where.code, 0u);
    EXPECT_EQ(where.out, m_dir.path() + "\\emu_port.dat\r\n");
}

TEST_F(PortsTool, GetOfAMissingFileReadsZeroAndMakesNoFile)
{
    Finished get = runTool({"get", "150", "163"});
    EXPECT_EQ(get.code, 0u);
    EXPECT_EQ(get.out, "0\r\n0\r\n");
    EXPECT_FALSE(exists(m_dir.portFile()));
}

TEST_F(PortsTool, FileGivenAsAWindowsPath)
{
    const std::string given = m_dir.makeDirectory("given") + "\\ports.dat";
    Finished set = runTool({"--file", given, "set", "163", "4"});
    EXPECT_EQ(set.code, 0u);
    EXPECT_EQ(set.err, "");
    EXPECT_EQ(fileBytes(given), std::string(63, '\0') + '\x04');

    Finished get = runTool({"get", "163", "--file", given});
    EXPECT_EQ(get.out, "4\r\n");
    EXPECT_FALSE(exists(m_dir.portFile()));
}

TEST_F(PortsTool, FileHeldWithoutSharingIsReportedThenWorks)
{
    ASSERT_TRUE(writeFile(m_dir.portFile(), std::string(64, '\0')));
    const HANDLE other = ::CreateFileA(m_dir.portFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    Finished held = runTool({"set", "150", "1"});
    ::CloseHandle(other);
    EXPECT_EQ(held.code, 1u);
    EXPECT_EQ(held.err.rfind("bexen-ports: " + m_dir.portFile() + ": ", 0), 0u) << held.err;
    EXPECT_EQ(std::count(held.err.begin(), held.err.end(), '\n'), 1);
    EXPECT_EQ(fileBytes(m_dir.portFile()), std::string(64, '\0'));

    Finished set = runTool({"set", "150", "1"});
    EXPECT_EQ(set.code, 0u);
    EXPECT_EQ(fileBytes(m_dir.portFile()).value_or("").at(50), 1);
}

enum class TmpIs { Private, Missing, TooLong };

struct FailureRow {
    const char *name;
    std::vector<std::string> args;
    TmpIs tmp;
    DWORD code;
    bool namesTheFile; // the message starts with the port file's path
};

class PortsToolFailure : public PortsTool, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(PortsToolFailure, ExitsWithOneLineAndTouchesNothing)
{
    const FailureRow &row = GetParam();
    std::string dir = m_dir.path();
    if (row.tmp == TmpIs::Missing)
        dir += "\\no-such-dir";
    while (row.tmp == TmpIs::TooLong && dir.size() < 600)
        dir += "\\" + std::string(40, 'd');
    setEnvironmentVariable("TMP", dir);

    const Finished f = runTool(row.args);
    EXPECT_EQ(f.code, row.code);
    EXPECT_EQ(f.out, "");
    EXPECT_EQ(std::count(f.err.begin(), f.err.end(), '\n'), 1) << f.err;
    const std::string prefix = row.namesTheFile ? "bexen-ports: " + dir + "\\emu_port.dat: "
                                                : std::string("bexen-ports: ");
    EXPECT_EQ(f.err.rfind(prefix, 0), 0u) << f.err;
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.path()));
}

INSTANTIATE_TEST_SUITE_P(
        Windows, PortsToolFailure,
        ::testing::Values(
                FailureRow{"GetInAMissingDirectory", {"get", "150"}, TmpIs::Missing, 1, true},
                FailureRow{"SetInAMissingDirectory", {"set", "150", "1"}, TmpIs::Missing, 1, true},
                FailureRow{"SetWithATooLongDirectory", {"set", "150", "1"}, TmpIs::TooLong, 1, false},
                FailureRow{"PortBelowTheFirst", {"get", "99"}, TmpIs::Private, 2, false},
                FailureRow{"ValueAboveAByte", {"set", "150", "256"}, TmpIs::Private, 2, false}),
        rowName<FailureRow>);

// A short scenario graded with the demo as the controller, started and ended by the test itself
// as a course's autograder would have it do.
TEST_F(PortsTool, TestGradesAScenarioAgainstTheDemoItStarts)
{
    const std::string scenario = m_dir.path() + "\\short.txt";
    ASSERT_TRUE(writeFile(scenario, "name short\nduration 4\n0.5 car 2\n"));
    const std::string results = m_dir.path() + "\\results.json";
    Finished test = runTool({"test", scenario, "--gradescope", results, "--", toolPath(), "demo",
                             "--min-green", "0.5", "--yellow", "0.5", "--red-yellow", "0.3",
                             "--all-red", "0.3"});
    EXPECT_EQ(test.code, 0u) << test.out << test.err;
    EXPECT_NE(test.out.find("PASS short (4.0 s)\r\n"), std::string::npos) << test.out;
    EXPECT_NE(test.out.find("1 of 1 scenarios passed; score 1 of 1\r\n"), std::string::npos) << test.out;
    EXPECT_EQ(test.err, "");
    EXPECT_NE(fileBytes(results).value_or("").find("\"status\": \"passed\""), std::string::npos);
    // The car has gone: every sensor is clear again.
    EXPECT_EQ(fileBytes(m_dir.portFile()).value_or("").at(50), '\0');
}
