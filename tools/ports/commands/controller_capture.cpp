// SPDX-License-Identifier: MIT
#include "commands/controller_capture.h"

#include <algorithm>
#include <utility>

namespace bexen::ports {

ControllerCapture::ControllerCapture(Echo echo, std::size_t kept)
    : m_echo(std::move(echo))
    , m_kept(kept)
{
}

void ControllerCapture::add(const ControllerOutput &output)
{
    addTo(m_out, false, output.out, output.outDropped);
    addTo(m_err, true, output.err, output.errDropped);
}

void ControllerCapture::addTo(Stream &stream, bool fromStderr, const std::string &text,
                              std::size_t dropped)
{
    const std::size_t room = m_kept - std::min(m_kept, stream.kept.size());
    const std::size_t taken = std::min(room, text.size());
    stream.kept.append(text, 0, taken);
    stream.leftOut += text.size() - taken + dropped;
    if (!m_echo)
        return;
    stream.unfinished += text;
    echoLines(stream, fromStderr, false);
}

void ControllerCapture::echoLines(Stream &stream, bool fromStderr, bool all)
{
    const std::string_view mark = fromStderr ? "controller (stderr): " : "controller: ";
    std::string lines;
    std::size_t start = 0;
    for (std::size_t end = stream.unfinished.find('\n'); end != std::string::npos;
         end = stream.unfinished.find('\n', start)) {
        lines.append(mark).append(stream.unfinished, start, end + 1 - start);
        start = end + 1;
    }
    if (all && start < stream.unfinished.size()) {
        lines.append(mark).append(stream.unfinished, start).append("\n");
        start = stream.unfinished.size();
    }
    stream.unfinished.erase(0, start);
    if (!lines.empty())
        m_echo(fromStderr, lines);
}

void ControllerCapture::handOver(ScenarioResult &result)
{
    for (auto [stream, into, fromStderr] : {std::tuple{&m_out, &result.controllerOut, false},
                                            std::tuple{&m_err, &result.controllerErr, true}}) {
        std::string text = std::move(stream->kept);
        if (stream->leftOut != 0) {
            if (!text.empty() && text.back() != '\n')
                text += '\n';
            text += "[" + std::to_string(stream->leftOut) + " bytes of the controller's "
                    + (fromStderr ? "error output" : "output") + " left out]\n";
        }
        *into += text;
        stream->kept.clear();
        stream->leftOut = 0;
        if (m_echo)
            echoLines(*stream, fromStderr, true);
    }
}

} // namespace bexen::ports
