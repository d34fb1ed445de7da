// SPDX-License-Identifier: MIT
#include "commands/context_ports.h"

#include <utility>

namespace bexen::ports {

ContextPorts::ContextPorts(const Context &ctx, io::WhenMissing whenMissing)
    : m_ctx(ctx)
    , m_whenMissing(whenMissing)
{
}

std::uint8_t ContextPorts::read(std::int32_t port)
{
    io::ReadOutcome outcome = m_ctx.read(port, m_whenMissing);
    if (outcome.error)
        throw PortFailure(std::move(*outcome.error));
    return outcome.value;
}

void ContextPorts::write(std::int32_t port, std::uint8_t value)
{
    if (auto error = m_ctx.write(port, value))
        throw PortFailure(std::move(*error));
}

std::vector<KeptFile> keptPortFile(const Context &ctx)
{
    const io::PortFileLocation portFile = ctx.portFile();
    if (portFile.error)
        return {};
    return {{portFile.path, "the port file"}};
}

} // namespace bexen::ports
