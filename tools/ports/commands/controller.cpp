// SPDX-License-Identifier: MIT
#include "commands/controller.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>

#ifdef _WIN32
#include "commands/windows_arguments.h"

#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
extern char **environ;
#endif

namespace bexen::ports {

namespace {

using namespace std::chrono_literals;

constexpr auto kLook = 20ms;
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

enum Stream { kOut, kErr };

// The controller's output between two looks, filled by the threads that read its pipes, so
// that a controller that writes a lot is never held up waiting for the test to look.
class OutputStore {
public:
    explicit OutputStore(std::size_t kept)
        : m_kept(kept)
    {
    }

    void add(Stream stream, const char *bytes, std::size_t count)
    {
        const std::lock_guard lock(m_mutex);
        std::string &text = m_text.at(stream);
        const std::size_t taken = std::min(count, m_kept - std::min(m_kept, text.size()));
        text.append(bytes, taken);
        m_dropped.at(stream) += count - taken;
    }

    ControllerOutput take()
    {
        const std::lock_guard lock(m_mutex);
        ControllerOutput output;
        output.out.swap(m_text.at(kOut));
        output.err.swap(m_text.at(kErr));
        output.outDropped = std::exchange(m_dropped.at(kOut), 0);
        output.errDropped = std::exchange(m_dropped.at(kErr), 0);
        return output;
    }

private:
    std::mutex m_mutex;
    std::size_t m_kept;
    std::array<std::string, 2> m_text;
    std::array<std::size_t, 2> m_dropped{};
};

} // namespace

#ifdef _WIN32

namespace {

std::string lastError()
{
    const DWORD code = ::GetLastError();
    std::array<char, 256> text{};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text.data(), static_cast<DWORD>(text.size()), nullptr);
    std::string message(text.data());
    message.erase(message.find_last_not_of("\r\n.") + 1);
    return message.empty() ? "error " + std::to_string(code) : message;
}

class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle)
        : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle)
    {
    }
    OwnedHandle(const OwnedHandle &) = delete;
    OwnedHandle &operator=(const OwnedHandle &) = delete;
    ~OwnedHandle() { reset(); }

    HANDLE get() const { return m_handle; }
    HANDLE *out() { return &m_handle; }
    HANDLE release() { return std::exchange(m_handle, nullptr); }
    void reset(HANDLE handle = nullptr)
    {
        if (m_handle != nullptr)
            ::CloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HANDLE m_handle = nullptr;
};

// A reader thread's own: it closes the pipe and lets go of the store when the pipe ends, so a
// thread left behind by stop() touches nothing of the finished controller.
struct PipeReader {
    HANDLE pipe;
    Stream stream;
    std::shared_ptr<OutputStore> store;
};

DWORD WINAPI readPipe(void *parameter)
{
    const std::unique_ptr<PipeReader> reader(static_cast<PipeReader *>(parameter));
    std::string buffer(kReadChunk, '\0');
    DWORD got = 0;
    while (::ReadFile(reader->pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
        reader->store->add(reader->stream, buffer.data(), got);
    ::CloseHandle(reader->pipe);
    return 0;
}

bool sameName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// The test's environment block with ENVIRONMENT over it (names are not case sensitive on
// Windows); empty when there is nothing to set, so the controller inherits the test's.
std::optional<std::string> environmentBlock(const ControllerEnvironment &environment, std::string &block)
{
    if (environment.empty())
        return std::nullopt;
    char *current = ::GetEnvironmentStringsA();
    if (current == nullptr)
        return "cannot read the environment: " + lastError();
    for (const char *entry = current; *entry != '\0'; entry += std::strlen(entry) + 1) {
        const std::string_view text(entry);
        // "=C:=C:\dir", the current directory of a drive, is named after its first "=".
        const std::string_view name = text.substr(0, text.find('=', 1));
        if (std::ranges::none_of(environment, [&](const auto &set) { return sameName(set.first, name); }))
            block.append(text).push_back('\0');
    }
    if (!::FreeEnvironmentStringsA(current))
        return "cannot read the environment: " + lastError();
    for (const auto &[name, value] : environment)
        block.append(name).append("=").append(value).push_back('\0');
    block.push_back('\0');
    return std::nullopt;
}

std::string commandLine(const std::vector<std::string> &command)
{
    std::string line;
    for (const std::string &arg : command)
        line += (line.empty() ? "" : " ") + quotedArgument(arg);
    return line;
}

// Whatever the controller starts belongs to its job, and the job ends with the test.
std::optional<std::string> makeJob(OwnedHandle &job)
{
    job.reset(::CreateJobObjectA(nullptr, nullptr));
    if (job.get() == nullptr)
        return "cannot make a job for it: " + lastError();
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION jobLimits{};
    jobLimits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &jobLimits,
                                   sizeof jobLimits))
        return "cannot make its job end with the test: " + lastError();
    return std::nullopt;
}

// Its input is empty and its output goes to pipes: the test's console is not its to use. The
// read ends are the test's alone.
struct ChildStdio {
    OwnedHandle input;
    std::array<OwnedHandle, 2> reads;
    std::array<OwnedHandle, 2> writes;
};

std::optional<std::string> openStdio(ChildStdio &stdio)
{
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    // Through the constructor, which takes INVALID_HANDLE_VALUE for none.
    stdio.input.reset(OwnedHandle(::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                &inherited, OPEN_EXISTING, 0, nullptr))
                              .release());
    if (stdio.input.get() == nullptr)
        return "cannot open NUL for its input: " + lastError();
    for (const Stream stream : {kOut, kErr}) {
        if (!::CreatePipe(stdio.reads.at(stream).out(), stdio.writes.at(stream).out(), &inherited, 0)
            || !::SetHandleInformation(stdio.reads.at(stream).get(), HANDLE_FLAG_INHERIT, 0))
            return "cannot make a pipe for its output: " + lastError();
    }
    return std::nullopt;
}

// The controller made but not yet run, inheriting those three handles alone, not every
// inheritable one the test holds.
std::optional<std::string> createSuspended(std::string &line, std::string &block,
                                           const ChildStdio &stdio, PROCESS_INFORMATION &process)
{
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto *attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (size == 0 || !::InitializeProcThreadAttributeList(attributes, 1, 0, &size))
        return "cannot list the handles it inherits: " + lastError();
    std::array<HANDLE, 3> handed{stdio.input.get(), stdio.writes.at(kOut).get(), stdio.writes.at(kErr).get()};
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handed[0];
    startup.StartupInfo.hStdOutput = handed[1];
    startup.StartupInfo.hStdError = handed[2];
    startup.lpAttributeList = attributes;
    std::optional<std::string> why;
    if (!::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handed.data(),
                                     sizeof(HANDLE) * handed.size(), nullptr, nullptr))
        why = "cannot list the handles it inherits: " + lastError();
    else if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                               EXTENDED_STARTUPINFO_PRESENT | CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED,
                               block.empty() ? nullptr : block.data(), nullptr, &startup.StartupInfo,
                               &process))
        why = lastError();
    ::DeleteProcThreadAttributeList(attributes);
    return why;
}

} // namespace

struct ControllerProcess::Handle {
    OwnedHandle process;
    OwnedHandle thread;
    OwnedHandle job;
    std::shared_ptr<OutputStore> store;
    std::array<OwnedHandle, 2> readers;

    // What it started goes too: every process of its job.
    std::string endJob()
    {
        if (::TerminateJobObject(job.get(), 1))
            return {};
        return "; what it started could not be ended: " + lastError();
    }

    // Every process of the job is gone, so the pipes are closed and the readers end; one that
    // does not (a pipe handed to a process outside the job) has its read cancelled, or is let go.
    void finishReaders()
    {
        constexpr DWORD kReaderWait = 2000;
        for (OwnedHandle &reader : readers) {
            if (reader.get() == nullptr)
                continue;
            if (::WaitForSingleObject(reader.get(), kReaderWait) == WAIT_TIMEOUT
                && ::CancelSynchronousIo(reader.get()))
                ::WaitForSingleObject(reader.get(), kReaderWait);
            reader.reset();
        }
    }

    // Nothing of it has run yet: a failure from here on ends it before its first instruction.
    std::string abandon(const std::string &what)
    {
        const std::string reason = what + lastError();
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), INFINITE);
        return reason;
    }

    // Into its job, its output read all along, and then its first instruction.
    std::optional<std::string> letRun(std::array<OwnedHandle, 2> &reads)
    {
        if (!::AssignProcessToJobObject(job.get(), process.get()))
            return abandon("cannot put it in a job that ends with the test: ");
        for (const Stream stream : {kOut, kErr}) {
            auto reader = std::make_unique<PipeReader>(PipeReader{reads.at(stream).get(), stream, store});
            readers.at(stream).reset(::CreateThread(nullptr, 0, readPipe, reader.get(), 0, nullptr));
            if (readers.at(stream).get() == nullptr)
                return abandon("cannot read its output: ");
            reads.at(stream).release();
            static_cast<void>(reader.release());
        }
        if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
            const std::string reason = abandon("cannot resume it: ");
            finishReaders();
            return reason;
        }
        return std::nullopt;
    }
};

std::optional<std::string> ControllerProcess::start(const std::vector<std::string> &command,
                                                    const ControllerEnvironment &environment,
                                                    const ControllerLimits &limits,
                                                    std::unique_ptr<ControllerProcess> &started)
{
    std::string line = commandLine(command);
    std::string block;
    if (auto error = environmentBlock(environment, block))
        return error;
    auto handle = std::make_unique<Handle>();
    handle->store = std::make_shared<OutputStore>(limits.outputKept);
    if (auto error = makeJob(handle->job))
        return error;
    ChildStdio stdio;
    if (auto error = openStdio(stdio))
        return error;
    PROCESS_INFORMATION process{};
    if (auto error = createSuspended(line, block, stdio, process))
        return error;
    handle->process.reset(process.hProcess);
    handle->thread.reset(process.hThread);
    if (auto error = handle->letRun(stdio.reads))
        return error;
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
    switch (::WaitForSingleObject(m_handle->process.get(), 0)) {
    case WAIT_TIMEOUT:
        return std::nullopt;
    case WAIT_OBJECT_0: {
        DWORD code = 0;
        m_ended = ::GetExitCodeProcess(m_handle->process.get(), &code)
                ? "the controller exited (status " + std::to_string(code) + ")"
                : "the controller ended; its status cannot be read: " + lastError();
        break;
    }
    default:
        m_ended = "the controller cannot be waited for: " + lastError();
    }
    *m_ended += m_handle->endJob();
    return m_ended;
}

void ControllerProcess::stop()
{
    if (!ended()) {
        // A console program has no SIGTERM to be asked with: it is ended, with its job.
        const std::string trouble = m_handle->endJob();
        if (!trouble.empty())
            ::TerminateProcess(m_handle->process.get(), 1);
        m_ended = "the controller was ended" + trouble;
        ::WaitForSingleObject(m_handle->process.get(), 5000);
    }
    m_handle->finishReaders();
}

#else

namespace {

// A descriptor of the test's own, closed with it and never handed to a program it starts.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    Fd(Fd &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd &operator=(Fd &&other) noexcept
    {
        reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }

    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

// "3 s", "2.5 s": the grace as the user gave it.
std::string secondsText(std::chrono::milliseconds time)
{
    std::string text = std::to_string(time.count() / 1000);
    if (const auto thousandths = static_cast<int>(time.count() % 1000); thousandths != 0) {
        std::array<char, 8> fraction{};
        std::snprintf(fraction.data(), fraction.size(), ".%03d", thousandths);
        text += fraction.data();
        text.erase(text.find_last_not_of('0') + 1);
    }
    return text + " s";
}

std::string failed(const char *what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// Moved above 0, 1 and 2 and closed on exec: the child puts its own there, and a test started
// with one of them closed must not see the controller's pipe land on it.
std::optional<std::string> adopt(int fd, Fd &owned)
{
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int error = errno;
    ::close(fd);
    if (moved < 0)
        return failed("fcntl", error);
    owned.reset(moved);
    return std::nullopt;
}

std::optional<std::string> makePipe(Fd &read, Fd &write)
{
    std::array<int, 2> ends{};
    if (::pipe(ends.data()) != 0)
        return failed("pipe", errno);
    auto error = adopt(ends[0], read);
    if (auto second = adopt(ends[1], write); !error)
        error = second;
    return error;
}

std::string signalName(int number)
{
    static constexpr std::array<std::pair<int, std::string_view>, 19> kNames{{
            {SIGHUP, "SIGHUP"},   {SIGINT, "SIGINT"},   {SIGQUIT, "SIGQUIT"}, {SIGILL, "SIGILL"},
            {SIGTRAP, "SIGTRAP"}, {SIGABRT, "SIGABRT"}, {SIGBUS, "SIGBUS"},   {SIGFPE, "SIGFPE"},
            {SIGKILL, "SIGKILL"}, {SIGUSR1, "SIGUSR1"}, {SIGSEGV, "SIGSEGV"}, {SIGUSR2, "SIGUSR2"},
            {SIGPIPE, "SIGPIPE"}, {SIGALRM, "SIGALRM"}, {SIGTERM, "SIGTERM"}, {SIGSTOP, "SIGSTOP"},
            {SIGTSTP, "SIGTSTP"}, {SIGTTIN, "SIGTTIN"}, {SIGTTOU, "SIGTTOU"},
    }};
    const auto *known = std::ranges::find(kNames, number, &std::pair<int, std::string_view>::first);
    return known != kNames.end() ? std::string(known->second) : std::to_string(number);
}

// What the child tells the test through its status pipe when it cannot become the controller;
// nothing (the pipe closed by exec) when it has.
enum class Stage { Group, DeathSignal, Signals, Input, Output, Exec };
struct ChildFailure {
    Stage stage;
    int error;
};

std::string describe(const ChildFailure &failure)
{
    switch (failure.stage) {
    case Stage::Group:
        return failed("setpgid", failure.error);
    case Stage::DeathSignal:
        return failed("prctl", failure.error);
    case Stage::Signals:
        return failed("sigaction", failure.error);
    case Stage::Input:
        return failed("its input from /dev/null", failure.error);
    case Stage::Output:
        return failed("its output to the test's pipes", failure.error);
    case Stage::Exec:
        break;
    }
    return std::strerror(failure.error);
}

// Everything the child needs, made before the fork: after it, only async-signal-safe calls.
struct ChildPlan {
    pid_t parent;
    int status;
    std::array<int, 3> stdio;
    std::vector<const char *> argv;
    std::vector<const char *> envp;
    std::vector<std::string> candidates;
};

[[noreturn]] void failChild(int status, Stage stage)
{
    const ChildFailure failure{stage, errno};
    static_cast<void>(!::write(status, &failure, sizeof failure));
    ::_exit(127);
}

[[noreturn]] void becomeController(const ChildPlan &plan)
{
    // A group of its own: the terminal's Ctrl-C is the test's to answer, and ending the group
    // ends the shell of a `sh -c` controller and what it started alike.
    if (::setpgid(0, 0) != 0)
        failChild(plan.status, Stage::Group);
#ifdef __linux__
    // It dies with the test, even one killed outright; a test already gone before this line
    // would never send the signal, so that is looked at after it.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        failChild(plan.status, Stage::DeathSignal);
    if (::getppid() != plan.parent)
        ::_exit(127);
#endif
    // The test's own handlers go at exec, but a signal it was started ignoring would stay
    // ignored, and its blocked signals blocked: the controller starts with the defaults.
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    sigset_t none;
    sigemptyset(&none);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGCHLD}) {
        if (::sigaction(number, &defaults, nullptr) != 0)
            failChild(plan.status, Stage::Signals);
    }
    if (::sigprocmask(SIG_SETMASK, &none, nullptr) != 0)
        failChild(plan.status, Stage::Signals);
    if (::dup2(plan.stdio[0], STDIN_FILENO) < 0)
        failChild(plan.status, Stage::Input);
    if (::dup2(plan.stdio[1], STDOUT_FILENO) < 0 || ::dup2(plan.stdio[2], STDERR_FILENO) < 0)
        failChild(plan.status, Stage::Output);
    // PATH is searched as execvp would, with no allocation: a file found but not executable is
    // what is told when nothing further on is.
    bool denied = false;
    for (const std::string &candidate : plan.candidates) {
        ::execve(candidate.c_str(), const_cast<char *const *>(plan.argv.data()),
                 const_cast<char *const *>(plan.envp.data()));
        if (errno == EACCES)
            denied = true;
        else if (errno != ENOENT && errno != ENOTDIR)
            failChild(plan.status, Stage::Exec);
    }
    errno = denied ? EACCES : ENOENT;
    failChild(plan.status, Stage::Exec);
}

std::vector<std::string> environmentFor(const ControllerEnvironment &environment)
{
    std::vector<std::string> entries;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        if (std::ranges::none_of(environment, [&](const auto &set) { return set.first == name; }))
            entries.emplace_back(text);
    }
    for (const auto &[name, value] : environment)
        entries.push_back(std::string(name).append("=").append(value));
    return entries;
}

std::vector<std::string> candidatesFor(const std::string &program, const std::vector<std::string> &environment)
{
    if (program.empty())
        return {};
    if (program.find('/') != std::string::npos)
        return {program};
    std::string path = "/usr/local/bin:/usr/bin:/bin";
    for (const std::string &entry : environment) {
        if (entry.starts_with("PATH="))
            path = entry.substr(5);
    }
    std::vector<std::string> candidates;
    for (std::size_t from = 0; from <= path.size();) {
        const std::size_t to = std::min(path.find(':', from), path.size());
        const std::string directory = path.substr(from, to - from);
        candidates.push_back((directory.empty() ? "." : directory) + "/" + program);
        from = to + 1;
    }
    return candidates;
}

// The reader thread: both pipes until they end (the controller and all it started gone), or
// until the test wakes it to take what is left and finish.
void readOutput(Fd out, Fd err, int wake, const std::shared_ptr<OutputStore> &store)
{
    std::array<pollfd, 3> watched{{{out.get(), POLLIN, 0}, {err.get(), POLLIN, 0}, {wake, POLLIN, 0}}};
    std::string buffer(kReadChunk, '\0');
    bool finishing = false;
    while (watched[kOut].fd >= 0 || watched[kErr].fd >= 0) {
        if (!finishing) {
            const int ready = ::poll(watched.data(), watched.size(), -1);
            if (ready < 0 && errno == EINTR)
                continue;
            finishing = ready < 0 || watched[2].revents != 0;
        }
        for (const Stream stream : {kOut, kErr}) {
            pollfd &pipe = watched.at(stream);
            if (pipe.fd < 0 || (!finishing && pipe.revents == 0))
                continue;
            const ssize_t got = ::read(pipe.fd, buffer.data(), buffer.size());
            if (got > 0)
                store->add(stream, buffer.data(), static_cast<std::size_t>(got));
            else if (got == 0 || (errno != EINTR && (finishing || errno != EAGAIN)))
                pipe.fd = -1; // ended, or nothing more to take when finishing
        }
    }
}

// COMMAND as the child execs it, with ENTRIES for its environment; both outlive the plan.
ChildPlan planFor(const std::vector<std::string> &command, const std::vector<std::string> &entries)
{
    ChildPlan plan{::getpid(), -1, {}, {}, {}, candidatesFor(command.empty() ? "" : command[0], entries)};
    for (const std::string &arg : command)
        plan.argv.push_back(arg.c_str());
    plan.argv.push_back(nullptr);
    for (const std::string &entry : entries)
        plan.envp.push_back(entry.c_str());
    plan.envp.push_back(nullptr);
    return plan;
}

// The descriptors between the test and the child: its input, its output's pipes (read without
// blocking, so the reader can take what is left and finish) and the status pipe.
struct ChildEnds {
    Fd input;
    std::array<Fd, 2> reads;
    std::array<Fd, 2> writes;
    Fd statusRead;
    Fd statusWrite;
};

std::optional<std::string> openEnds(ChildEnds &ends, Fd &wakeRead, Fd &wake)
{
    const int nullDevice = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nullDevice < 0)
        return failed("/dev/null", errno);
    for (auto error : {adopt(nullDevice, ends.input), makePipe(ends.reads[kOut], ends.writes[kOut]),
                       makePipe(ends.reads[kErr], ends.writes[kErr]),
                       makePipe(ends.statusRead, ends.statusWrite), makePipe(wakeRead, wake)}) {
        if (error)
            return error;
    }
    for (const Fd &read : ends.reads) {
        const int flags = ::fcntl(read.get(), F_GETFL);
        if (flags < 0 || ::fcntl(read.get(), F_SETFL, flags | O_NONBLOCK) != 0)
            return failed("fcntl", errno);
    }
    return std::nullopt;
}

} // namespace

struct ControllerProcess::Handle {
    pid_t pid = -1;
    // Once reaped, its pid may be another process's: it is never signalled again.
    bool reaped = false;
    std::chrono::milliseconds grace{};
    std::shared_ptr<OutputStore> store;
    std::thread reader;
    // Both ends kept until the reader is joined: a wake-up written after it finished by itself
    // must not meet a closed pipe.
    Fd wakeRead;
    Fd wake;

    // Its whole group is killed while the leader is still unreaped, so the group's id cannot have
    // been given to anyone else yet; then the leader is reaped.
    std::string endGroup()
    {
        if (reaped)
            return {};
        std::string trouble;
        if (::killpg(pid, SIGKILL) != 0 && errno != ESRCH)
            trouble = "; what it started could not be ended: " + std::string(std::strerror(errno));
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        reaped = true;
        return trouble;
    }

    void finishReader()
    {
        if (!reader.joinable())
            return;
        const char byte = 0;
        while (::write(wake.get(), &byte, 1) < 0 && errno == EINTR) {
        }
        reader.join();
    }

    // The status pipe closes at the child's exec; before it, the child writes why it failed.
    std::optional<std::string> awaitExec(const Fd &statusRead)
    {
        ChildFailure failure{};
        ssize_t got = 0;
        while ((got = ::read(statusRead.get(), &failure, sizeof failure)) < 0 && errno == EINTR) {
        }
        if (got == 0)
            return std::nullopt;
        const std::string reason = got < 0 ? failed("read", errno) : describe(failure);
        ::kill(pid, SIGKILL);
        endGroup();
        return reason;
    }

    std::optional<std::string> startReader(std::array<Fd, 2> &reads, std::size_t kept)
    {
        store = std::make_shared<OutputStore>(kept);
        try {
            reader = std::thread(readOutput, std::move(reads[kOut]), std::move(reads[kErr]),
                                 wakeRead.get(), store);
        } catch (const std::system_error &error) {
            endGroup();
            return std::string("cannot read its output: ") + error.what();
        }
        return std::nullopt;
    }
};

std::optional<std::string> ControllerProcess::start(const std::vector<std::string> &command,
                                                    const ControllerEnvironment &environment,
                                                    const ControllerLimits &limits,
                                                    std::unique_ptr<ControllerProcess> &started)
{
    const std::vector<std::string> entries = environmentFor(environment);
    ChildPlan plan = planFor(command, entries);
    auto handle = std::make_unique<Handle>();
    ChildEnds ends;
    if (auto error = openEnds(ends, handle->wakeRead, handle->wake))
        return error;
    plan.status = ends.statusWrite.get();
    plan.stdio = {ends.input.get(), ends.writes[kOut].get(), ends.writes[kErr].get()};

    handle->pid = ::fork();
    if (handle->pid < 0)
        return failed("fork", errno);
    if (handle->pid == 0)
        becomeController(plan);
    handle->grace = limits.grace;
    for (Fd *childs : {&ends.input, &ends.writes[kOut], &ends.writes[kErr], &ends.statusWrite})
        childs->reset();
    if (auto error = handle->awaitExec(ends.statusRead))
        return error;
    if (auto error = handle->startReader(ends.reads, limits.outputKept))
        return error;
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
    // Looked at without reaping, so that the group can still be killed by the leader's pid.
    siginfo_t info{};
    info.si_pid = 0;
    int looked = 0;
    while ((looked = ::waitid(P_PID, static_cast<id_t>(m_handle->pid), &info,
                              WEXITED | WSTOPPED | WNOHANG | WNOWAIT))
                   != 0
           && errno == EINTR) {
    }
    if (looked != 0) {
        m_ended = failed("the controller cannot be waited for", errno);
        m_handle->reaped = true;
        return m_ended;
    }
    if (info.si_pid == 0)
        return std::nullopt;
    switch (info.si_code) {
    case CLD_EXITED:
        m_ended = "the controller exited (status " + std::to_string(info.si_status) + ")";
        break;
    case CLD_KILLED:
    case CLD_DUMPED:
        m_ended = "the controller was ended by signal " + signalName(info.si_status);
        break;
    default:
        // Stopped (a read of the terminal, a debugger): it drives nothing any more.
        m_ended = "the controller was stopped by signal " + signalName(info.si_status);
    }
    // Whatever it left running in its group goes with it.
    *m_ended += m_handle->endGroup();
    return m_ended;
}

void ControllerProcess::stop()
{
    if (!ended()) {
        if (::killpg(m_handle->pid, SIGTERM) == 0) {
            const auto deadline = std::chrono::steady_clock::now() + m_handle->grace;
            while (!ended() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(kLook);
        }
        if (!ended())
            m_ended = "the controller did not end within " + secondsText(m_handle->grace)
                    + " of being asked and was ended" + m_handle->endGroup();
    }
    m_handle->finishReader();
}

#endif

ControllerOutput ControllerProcess::takeOutput()
{
    return m_handle->store->take();
}

ControllerProcess::ControllerProcess(std::unique_ptr<Handle> handle)
    : m_handle(std::move(handle))
{
}

} // namespace bexen::ports
