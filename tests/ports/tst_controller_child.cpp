// SPDX-License-Identifier: MIT
// The controller that `test -- COMMAND...` starts, as a real child process: how it is started,
// what it sees, how it is ended with everything it started, and what it wrote.
#include "commands/controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace bexen::ports {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Generous: a loaded machine is slow, never this slow.
constexpr auto kBound = 5s;
constexpr std::size_t kKept = 4096;
const ControllerEnvironment kEnvironment{{"TMPDIR", "/controller/tmp"},
                                         {"BEXEN_PORT_FILE", "/controller/tmp/emu_port.dat"}};

bool within(const std::function<bool()> &reached)
{
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (!reached()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

#ifndef _WIN32
std::string fileText(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Gone, or a zombie that only its new parent has still to reap.
bool processGone(pid_t pid)
{
    const std::string stat = fileText("/proc/" + std::to_string(pid) + "/stat");
    if (!stat.empty())
        return stat.substr(stat.rfind(')') + 2, 1) == "Z";
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool pidFileGone(const fs::path &file)
{
    const std::string text = fileText(file);
    return !text.empty() && within([&] { return processGone(static_cast<pid_t>(std::stol(text))); });
}
#endif

// Each case in a directory of its own, the test's working directory, where the controller's
// scripts leave the files the case looks at. The test's own TMPDIR differs from the one the
// controller is given, so a variable added beside the test's instead of over it is seen.
class ControllerChild : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = fs::current_path();
        m_dir = fs::temp_directory_path() / ("bexen-controller-" + std::to_string(std::random_device{}()));
        fs::create_directories(m_dir);
        fs::current_path(m_dir);
        const char *tmp = std::getenv("TMPDIR");
        m_tmp = tmp == nullptr ? std::nullopt : std::optional<std::string>(tmp);
#ifndef _WIN32
        ::setenv("TMPDIR", m_dir.c_str(), 1);
#endif
    }

    void TearDown() override
    {
#ifndef _WIN32
        if (m_tmp)
            ::setenv("TMPDIR", m_tmp->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
#endif
        fs::current_path(m_previous);
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    fs::path m_previous;
    fs::path m_dir;
    std::optional<std::string> m_tmp;
};

enum class Then { Stop, EndsByItself };

struct Behaviour {
    const char *name;
    std::vector<std::string> command{};
    std::string startError{}; // part of the reason it cannot be started; else it starts
    const char *reached = ""; // a file it makes once it got that far, before the test goes on
    Then then = Then::Stop;
    std::string ended{}; // part of what ended() says at the end
    std::optional<std::string> out{}; // all of its standard output
    std::size_t outDropped = 0;
    const char *gone = ""; // a file naming a process it started that must be gone
};

#ifndef _WIN32
std::vector<std::string> sh(const std::string &script)
{
    return {"sh", "-c", script};
}
#endif

const Behaviour kBehaviours[] = {
#ifndef _WIN32
        {.name = "IgnoresSigterm",
         .command = sh("trap '' TERM; echo $$ > leader; while :; do sleep 0.05; done"),
         .reached = "leader",
         .ended = "the controller did not end within 0.3 s of being asked and was ended",
         .gone = "leader"},
        // The grandchild ignores SIGTERM too: only the group's end takes it.
        {.name = "StartsAGrandchild",
         .command = sh("(trap '' TERM; exec sleep 30) & echo $! > grandchild; wait"),
         .reached = "grandchild",
         .ended = "the controller was ended by signal SIGTERM",
         .gone = "grandchild"},
        {.name = "ReadsItsInput",
         .command = sh("read line; echo \"read $? [$line]\"; touch read; exec sleep 30"),
         .reached = "read",
         .ended = "the controller was ended by signal SIGTERM",
         .out = "read 1 []\n"},
        {.name = "StoppedBySignal",
         .command = sh("kill -TTIN $$; echo still running"),
         .then = Then::EndsByItself,
         .ended = "the controller was stopped by signal SIGTTIN",
         .out = ""},
        {.name = "NotFound", .command = {"./no-such-controller"}, .startError = "No such file or directory"},
        {.name = "NotAProgram", .command = {"/dev/null"}, .startError = "Permission denied"},
        {.name = "NotOnPath", .command = {"no-such-controller-on-path"}, .startError = "No such file or directory"},
        // A pipe holds 64 KiB: a controller nobody reads would never get to make "flooded".
        {.name = "FloodsItsOutput",
         .command = sh("head -c 3000000 /dev/zero; touch flooded; exec sleep 30"),
         .reached = "flooded",
         .ended = "the controller was ended by signal SIGTERM",
         .out = std::string(kKept, '\0'),
         .outDropped = 3'000'000 - kKept},
        {.name = "SeesItsEnvironment",
         .command = sh("echo \"$TMPDIR $BEXEN_PORT_FILE\"; [ -n \"$PATH\" ] && echo path kept"),
         .then = Then::EndsByItself,
         .ended = "the controller exited (status 0)",
         .out = "/controller/tmp /controller/tmp/emu_port.dat\npath kept\n"},
#else
        {.name = "NotFound", .command = {"no-such-controller.exe"}, .startError = " "},
        {.name = "SeesItsEnvironment",
         .command = {"cmd", "/c", "set", "BEXEN_PORT_FILE"},
         .then = Then::EndsByItself,
         .ended = "the controller exited (status 0)",
         .out = "BEXEN_PORT_FILE=/controller/tmp/emu_port.dat\r\n"},
#endif
};

class ControllerBehaviour : public ControllerChild, public ::testing::WithParamInterface<Behaviour> {};

TEST_P(ControllerBehaviour, IsStartedSeenAndEnded)
{
    const Behaviour &b = GetParam();
    ControllerLimits limits;
    limits.grace = 300ms;
    limits.outputKept = kKept;
    std::unique_ptr<ControllerProcess> controller;
    const auto error = ControllerProcess::start(b.command, kEnvironment, limits, controller);
    if (!b.startError.empty()) {
        ASSERT_TRUE(error.has_value()) << "started";
        EXPECT_NE(error->find(b.startError), std::string::npos) << *error;
        EXPECT_EQ(controller, nullptr);
        return;
    }
    ASSERT_FALSE(error.has_value()) << *error;
    if (*b.reached != '\0') {
        ASSERT_TRUE(within([&] { return fs::exists(b.reached); })) << "never made " << b.reached;
    }
    if (b.then == Then::EndsByItself) {
        EXPECT_TRUE(within([&] { return controller->ended().has_value(); }));
    } else {
        EXPECT_FALSE(controller->ended().has_value()) << *controller->ended();
    }
    controller->stop();
    const std::string ended = controller->ended().value_or("");
    EXPECT_NE(ended.find(b.ended), std::string::npos) << ended;
    const ControllerOutput output = controller->takeOutput();
    if (b.out) {
        EXPECT_EQ(output.out, *b.out);
    }
    EXPECT_EQ(output.outDropped, b.outDropped);
    EXPECT_EQ(output.err, "");
#ifndef _WIN32
    if (*b.gone != '\0') {
        EXPECT_TRUE(pidFileGone(b.gone)) << b.gone << " outlived the controller";
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(Controller, ControllerBehaviour, ::testing::ValuesIn(kBehaviours),
                         [](const auto &info) { return std::string(info.param.name); });

#ifndef _WIN32
// Output is taken in pieces as it comes, each stream apart, and nothing is given twice.
TEST_F(ControllerChild, OutputIsTakenAsItComes)
{
    std::unique_ptr<ControllerProcess> controller;
    ASSERT_FALSE(ControllerProcess::start(sh("echo one; echo two >&2; exec sleep 30"), {}, {}, controller));
    ControllerOutput seen;
    ASSERT_TRUE(within([&] {
        ControllerOutput more = controller->takeOutput();
        seen.out += more.out;
        seen.err += more.err;
        return !seen.out.empty() && !seen.err.empty();
    }));
    EXPECT_EQ(seen.out, "one\n");
    EXPECT_EQ(seen.err, "two\n");
    controller->stop();
    const ControllerOutput rest = controller->takeOutput();
    EXPECT_EQ(rest.out + rest.err, "");
}
#endif

#ifdef __linux__
// The test killed outright, with no chance to end its controller: the controller goes with it.
TEST_F(ControllerChild, DiesWithATestKilledOutright)
{
    const pid_t test = ::fork();
    ASSERT_GE(test, 0);
    if (test == 0) {
        std::unique_ptr<ControllerProcess> controller;
        if (ControllerProcess::start(sh("echo $$ > leader; exec sleep 30"), {}, {}, controller))
            ::_exit(1);
        for (;;)
            ::pause();
    }
    const bool started = within([] { return !fileText("leader").empty(); });
    ::kill(test, SIGKILL);
    ::waitpid(test, nullptr, 0);
    ASSERT_TRUE(started);
    EXPECT_TRUE(pidFileGone("leader"));
}
#endif

} // namespace
} // namespace bexen::ports
