// SPDX-License-Identifier: MIT
#pragma once

#include "commands/controller.h"
#include "port_channel.h"
#include "shared/context.h"

#include <optional>
#include <string>

namespace bexen::ports {

// The variable that names the port file to a controller, and to bexen-ports itself where no
// --file is given.
inline constexpr const char *kPortFileVariable = "BEXEN_PORT_FILE";

// The port file a test grades on. A run that starts its controller on no --file gets a private
// directory (mode 0700, in the temporary directory) holding a fresh emu_port.dat, which nobody
// but the two of them knows, so runs side by side never meet and nothing left from an earlier run
// is read; it is removed when the run ends, however it ends. Otherwise it is the file the
// context names, shared with whoever else uses it.
class TestPortFile {
public:
    TestPortFile() = default;
    ~TestPortFile();
    TestPortFile(const TestPortFile &) = delete;
    TestPortFile &operator=(const TestPortFile &) = delete;

    // Makes the private directory when `ownDirectory`, or takes the context's file.
    std::optional<io::AccessError> prepare(const Context &ctx, bool ownDirectory);

    const std::string &path() const { return m_path; }
    // Nobody but the test and its controller writes the file.
    bool isPrivate() const { return !m_directory.empty(); }
    // What the controller is told: BEXEN_PORT_FILE, and TMPDIR (TMP and TEMP on Windows) where
    // the file is emu_port.dat in its directory, the way the emulator and the panel find it.
    ControllerEnvironment environment() const;

private:
    std::string m_path;
    std::string m_directory; // the private one, removed at the end
};

} // namespace bexen::ports
