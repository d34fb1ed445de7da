// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bexen::ports {

// The controller that `test -- COMMAND...` starts: the student's program (or an emulator running
// it) as a child process, in a process group of its own on POSIX (a job on Windows), so that
// ending it ends whatever it started too, and a Ctrl-C at the terminal reaches the test alone.
class ControllerProcess {
public:
    // Starts COMMAND with ARGUMENTS, found on PATH as a shell would; its output is the test's.
    // Answers the reason when it cannot be started.
    static std::optional<std::string> start(const std::vector<std::string> &command,
                                            std::unique_ptr<ControllerProcess> &started);
    ~ControllerProcess();
    ControllerProcess(const ControllerProcess &) = delete;
    ControllerProcess &operator=(const ControllerProcess &) = delete;

    // "the controller exited (status 1)" once it has ended by itself; nothing while it runs.
    std::optional<std::string> ended();
    // Asks it to end (SIGTERM), and ends it outright if it has not within a second.
    void stop();

private:
    struct Handle;
    explicit ControllerProcess(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> m_handle;
    std::optional<std::string> m_ended;
};

} // namespace bexen::ports
