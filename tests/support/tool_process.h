// SPDX-License-Identifier: MIT
#pragma once

// The built bexen-ports executable started as a user starts it, for the tests that run it as a
// process: its output read through pipes, no input, and a watchdog on every wait, so a tool that
// blocked (on a FIFO, say) fails its test instead of hanging the run.

#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "commands/windows_arguments.h"
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

namespace bexen::testing {

inline constexpr std::chrono::milliseconds kProcessWatchdog{20'000};

// What the tool printed at the end of a run; the code is -1 when it did not end by itself.
struct Finished {
    int code = -1;
    std::string out;
    std::string err;
};

#ifdef _WIN32

// Beside the test: the build copies the tool there.
inline std::string portsToolPath()
{
    std::array<char, MAX_PATH> self{};
    const DWORD length = ::GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size()));
    const std::string path(self.data(), length);
    return path.substr(0, path.find_last_of('\\') + 1) + "bexen-ports.exe";
}

namespace detail {
inline std::string drain(HANDLE pipe)
{
    std::string text;
    std::array<char, 4096> chunk{};
    DWORD got = 0;
    while (::ReadFile(pipe, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0)
        text.append(chunk.data(), got);
    ::CloseHandle(pipe);
    return text;
}
} // namespace detail

// Runs the tool to its end, in the test's environment, with arguments quoted as the tool quotes
// a controller's.
inline Finished runTool(const std::vector<std::string> &args)
{
    const std::string tool = portsToolPath();
    std::string commandLine = bexen::ports::quotedArgument(tool);
    for (const std::string &arg : args)
        commandLine += " " + bexen::ports::quotedArgument(arg);

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
    std::thread errors([&] { finished.err = detail::drain(errRead); });
    finished.out = detail::drain(outRead);
    bool ended = true;
    if (::WaitForSingleObject(process.hProcess, static_cast<DWORD>(kProcessWatchdog.count() * 3))
        != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 124);
        ended = false;
    }
    errors.join();
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    finished.code = ended ? static_cast<int>(code) : -1;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return finished;
}

#else

// CTest names the tool; a test run by hand from its build directory finds it in the tree beside.
inline std::string portsToolPath()
{
    if (const char *tool = std::getenv("BEXEN_PORTS_TOOL"); tool && *tool)
        return tool;
    std::array<char, 4096> self{};
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    const std::string path(self.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
    return path.substr(0, path.find_last_of('/')) + "/../../tools/ports/bexen-ports";
}

// One run of a program, its standard output and error gathered as it goes. Ended with SIGKILL
// and reaped if the test leaves it running.
class ToolProcess {
public:
    struct Options {
        std::vector<std::pair<std::string, std::string>> environment; // added to the test's own
        std::string workingDirectory; // empty: the test's
    };

    ToolProcess(const std::vector<std::string> &args, const Options &options = {})
        : ToolProcess(portsToolPath(), args, options)
    {
    }
    ToolProcess(const std::string &program, const std::vector<std::string> &args,
                const Options &options)
    {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
        m_out = out[0];
        m_err = err[0];
        ::fcntl(m_out, F_SETFL, O_NONBLOCK);
        ::fcntl(m_err, F_SETFL, O_NONBLOCK);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        if (!options.workingDirectory.empty())
            posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());

        std::vector<std::string> environment;
        for (char **e = environ; *e; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const auto &[name, value] : options.environment)
                replaced = replaced || entry.rfind(name + "=", 0) == 0;
            if (!replaced)
                environment.push_back(entry);
        }
        for (const auto &[name, value] : options.environment)
            environment.push_back(std::string(name).append("=").append(value));
        std::vector<char *> envp;
        envp.reserve(environment.size() + 1);
        for (std::string &entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::vector<std::string> argStrings{program};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char *> argv;
        argv.reserve(argStrings.size() + 1);
        for (std::string &arg : argStrings)
            argv.push_back(arg.data());
        argv.push_back(nullptr);

        const int spawned = ::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(),
                                          envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        if (spawned != 0) {
            m_pid = -1;
            throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
        }
    }
    ~ToolProcess()
    {
        if (m_pid > 0 && !m_exited) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        ::close(m_out);
        ::close(m_err);
    }
    ToolProcess(const ToolProcess &) = delete;
    ToolProcess &operator=(const ToolProcess &) = delete;

    pid_t pid() const { return m_pid; }
    void signal(int number) const { ::kill(m_pid, number); }

    // What it has printed so far.
    const std::string &out()
    {
        pump(0);
        return m_outText;
    }
    const std::string &err()
    {
        pump(0);
        return m_errText;
    }

    // Waits, reading its output, until `done` holds; false if the watchdog ran out first.
    bool waitFor(const std::function<bool()> &done,
                 std::chrono::milliseconds watchdog = kProcessWatchdog)
    {
        const auto end = std::chrono::steady_clock::now() + watchdog;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end)
                return false;
            pump(10);
        }
        return true;
    }

    // Waits for its end; false, and ended with SIGKILL, if it did not come within the watchdog.
    bool finish(std::chrono::milliseconds watchdog = kProcessWatchdog)
    {
        const bool ended = waitFor([this] { return reap(); }, watchdog);
        if (!ended) {
            ::kill(m_pid, SIGKILL);
            while (!reap())
                pump(10);
        }
        while (pump(0)) {
        }
        return ended;
    }

    // The exit status of a program that ended by itself, -2 for one ended by a signal.
    int exitCode() const { return m_code; }

private:
    bool reap()
    {
        if (m_exited)
            return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) != m_pid)
            return false;
        m_exited = true;
        m_code = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        return true;
    }

    // Reads whatever is there, waiting at most `timeoutMs` for some; whether anything came.
    bool pump(int timeoutMs)
    {
        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) <= 0)
            return false;
        bool got = false;
        char chunk[4096];
        for (auto [fd, text] : {std::pair{m_out, &m_outText}, std::pair{m_err, &m_errText}}) {
            ssize_t n;
            while ((n = ::read(fd, chunk, sizeof chunk)) > 0) {
                text->append(chunk, static_cast<std::size_t>(n));
                got = true;
            }
        }
        return got;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    bool m_exited = false;
    int m_code = -1;
    std::string m_outText;
    std::string m_errText;
};

// Runs the tool to its end in the test's environment and collects what it printed.
inline Finished runTool(const std::vector<std::string> &args)
{
    ToolProcess process(args);
    Finished f;
    const bool ended = process.finish();
    f.out = process.out();
    f.err = ended ? process.err() : "still running after the watchdog";
    f.code = ended ? process.exitCode() : -1;
    return f;
}

#endif

} // namespace bexen::testing
