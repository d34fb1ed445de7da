// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bexen::ports {

// Variables set in the controller's environment over the test's own: NAME, VALUE.
using ControllerEnvironment = std::vector<std::pair<std::string, std::string>>;

struct ControllerLimits {
    // How long a controller asked to end has to leave its lights (a 2-s yellow, then red) before
    // it is ended outright.
    std::chrono::milliseconds grace{3000};
    // The most of each stream kept between two takeOutput() calls; what comes beyond that is
    // counted, not kept, so a controller that floods its output is never held up by it.
    std::size_t outputKept = std::size_t{64} * 1024;
};

// What the controller wrote since the last look, each stream on its own.
struct ControllerOutput {
    std::string out;
    std::string err;
    std::size_t outDropped = 0; // bytes written beyond ControllerLimits::outputKept
    std::size_t errDropped = 0;
};

// What `test` grades, whichever way it runs: a program that drives the lights while the
// scenarios play, and ends when the test is done with it.
class GradedController {
public:
    virtual ~GradedController() = default;
    // Why it has stopped driving the lights, once it has ("the controller exited (status 1)");
    // nothing while it runs.
    virtual std::optional<std::string> ended() = 0;
    // Ends it, giving it the grace to leave its lights first where it can take one.
    virtual void stop() = 0;
    // What it wrote since the last call. Never waits; after stop(), the rest of what it wrote.
    virtual ControllerOutput takeOutput() = 0;
};

// The controller that `test -- COMMAND...` starts: the student's program (or an emulator running
// it) as a child process with no terminal: its input is empty (/dev/null, NUL), its output goes
// to pipes that are read all along. It runs in a process group of its own on POSIX (a job on
// Windows), so that ending it ends whatever it started too, and a Ctrl-C at the terminal reaches
// the test alone. On Linux it also dies with the test when the test is killed outright; what it
// started itself is then left (the group is ended on every orderly end, and a controller run by
// a shell script should `exec` its last command). Call start() from a thread that lives as long
// as the controller: on Linux the controller dies with the thread that started it.
class ControllerProcess final : public GradedController {
public:
    // Starts COMMAND with ARGUMENTS, found on PATH as a shell would, with ENVIRONMENT over the
    // test's own. Answers the reason when it cannot be started.
    static std::optional<std::string> start(const std::vector<std::string> &command,
                                            const ControllerEnvironment &environment,
                                            const ControllerLimits &limits,
                                            std::unique_ptr<ControllerProcess> &started);
    ~ControllerProcess();
    ControllerProcess(const ControllerProcess &) = delete;
    ControllerProcess &operator=(const ControllerProcess &) = delete;

    // "the controller exited (status 1)", "... was stopped by signal SIGTTIN" once it has ended
    // (a stopped controller counts as ended: nothing drives the lights); nothing while it runs.
    std::optional<std::string> ended() override;
    // Asks it to end (SIGTERM; on Windows it is ended at once), ends it outright if it has not
    // within the grace, and ends whatever it left running. Afterwards ended() says which.
    void stop() override;
    ControllerOutput takeOutput() override;

private:
    struct Handle;
    explicit ControllerProcess(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> m_handle;
    std::optional<std::string> m_ended;
};

} // namespace bexen::ports
