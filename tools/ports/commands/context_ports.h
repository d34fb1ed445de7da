// SPDX-License-Identifier: MIT
#pragma once

#include "model/junction_ports.h"
#include "reports/output_file.h"
#include "port_channel.h"
#include "shared/context.h"

#include <cstdint>
#include <vector>

namespace bexen::ports {

// The port file through the command's context: the --file PATH the user named, or the file the
// temporary directory names at each access, as the panel finds it.
class ContextPorts final : public JunctionPorts {
public:
    ContextPorts(const Context &ctx, io::WhenMissing whenMissing);
    std::uint8_t read(std::int32_t port) override;
    void write(std::int32_t port, std::uint8_t value) override;

private:
    const Context &m_ctx;
    io::WhenMissing m_whenMissing;
};

// The port file, which no output may land on, where the context finds it now; nothing when it
// cannot be located (the command reports that itself when it needs the file).
std::vector<KeptFile> keptPortFile(const Context &ctx);

} // namespace bexen::ports
