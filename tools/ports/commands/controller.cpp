// SPDX-License-Identifier: MIT
#include "commands/controller.h"

#include <chrono>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include "commands/windows_arguments.h"

#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
#endif

namespace bexen::ports {

namespace {

using namespace std::chrono_literals;

// A controller asked to end gets this long to tidy up (to leave its lights red) before it is
// ended outright.
constexpr auto kGrace = 1000ms;
constexpr auto kLook = 20ms;

} // namespace

#ifdef _WIN32

struct ControllerProcess::Handle {
    PROCESS_INFORMATION process{};
    HANDLE job = nullptr;
};

namespace {

std::string lastError()
{
    const DWORD code = ::GetLastError();
    char text[256] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text, nullptr);
    std::string message(text);
    message.erase(message.find_last_not_of("\r\n.") + 1);
    return message.empty() ? "error " + std::to_string(code) : message;
}

} // namespace

std::optional<std::string> ControllerProcess::start(const std::vector<std::string> &command,
                                                    std::unique_ptr<ControllerProcess> &started)
{
    std::string line;
    for (const std::string &arg : command)
        line += (line.empty() ? "" : " ") + quotedArgument(arg);
    auto handle = std::make_unique<Handle>();
    // Whatever the controller starts belongs to its job, and the job ends with the test.
    handle->job = ::CreateJobObjectA(nullptr, nullptr);
    if (handle->job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(handle->job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                          CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                          &handle->process)) {
        const std::string why = lastError();
        if (handle->job != nullptr)
            ::CloseHandle(handle->job);
        return why;
    }
    if (handle->job != nullptr)
        ::AssignProcessToJobObject(handle->job, handle->process.hProcess);
    ::ResumeThread(handle->process.hThread);
    started.reset(new ControllerProcess(std::move(handle)));
    return std::nullopt;
}

ControllerProcess::~ControllerProcess()
{
    stop();
    ::CloseHandle(m_handle->process.hThread);
    ::CloseHandle(m_handle->process.hProcess);
    if (m_handle->job != nullptr)
        ::CloseHandle(m_handle->job);
}

std::optional<std::string> ControllerProcess::ended()
{
    if (!m_ended && ::WaitForSingleObject(m_handle->process.hProcess, 0) == WAIT_OBJECT_0) {
        DWORD code = 0;
        ::GetExitCodeProcess(m_handle->process.hProcess, &code);
        m_ended = "the controller exited (status " + std::to_string(code) + ")";
    }
    return m_ended;
}

void ControllerProcess::stop()
{
    if (ended())
        return;
    // A console program has no SIGTERM to be asked with: it is ended, with its job.
    if (m_handle->job != nullptr)
        ::TerminateJobObject(m_handle->job, 1);
    ::TerminateProcess(m_handle->process.hProcess, 1);
    ::WaitForSingleObject(m_handle->process.hProcess, 5000);
    m_ended = "the controller was ended";
}

#else

struct ControllerProcess::Handle {
    pid_t pid = -1;
};

std::optional<std::string> ControllerProcess::start(const std::vector<std::string> &command,
                                                    std::unique_ptr<ControllerProcess> &started)
{
    std::vector<char *> argv;
    argv.reserve(command.size() + 1);
    for (const std::string &arg : command)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: the terminal's Ctrl-C is the test's to answer, and ending the group
    // ends the shell of a `sh -c` controller and what it started alike. The test's own handlers
    // are not the controller's: it starts with the default actions.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGHUP);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    auto handle = std::make_unique<Handle>();
    const int error = posix_spawnp(&handle->pid, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return std::string(std::strerror(error));
    started.reset(new ControllerProcess(std::move(handle)));
    return std::nullopt;
}

ControllerProcess::~ControllerProcess()
{
    stop();
}

std::optional<std::string> ControllerProcess::ended()
{
    if (m_ended)
        return m_ended;
    int status = 0;
    if (::waitpid(m_handle->pid, &status, WNOHANG) != m_handle->pid)
        return std::nullopt;
    if (WIFSIGNALED(status))
        m_ended = "the controller was ended by signal " + std::to_string(WTERMSIG(status));
    else
        m_ended = "the controller exited (status " + std::to_string(WEXITSTATUS(status)) + ")";
    // Whatever it left running in its group goes with it.
    ::kill(-m_handle->pid, SIGKILL);
    return m_ended;
}

void ControllerProcess::stop()
{
    if (ended())
        return;
    ::kill(-m_handle->pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kGrace;
    while (!ended() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kLook);
    if (!ended()) {
        ::kill(-m_handle->pid, SIGKILL);
        ::waitpid(m_handle->pid, nullptr, 0);
        m_ended = "the controller was ended";
    }
    ::kill(-m_handle->pid, SIGKILL);
}

#endif

ControllerProcess::ControllerProcess(std::unique_ptr<Handle> handle)
    : m_handle(std::move(handle))
{
}

} // namespace bexen::ports
