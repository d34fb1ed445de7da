// SPDX-License-Identifier: MIT
#include "shared/interrupt.h"

#include <atomic>
#include <csignal>

namespace bexen::ports {

namespace {
std::atomic<bool> g_stop{false};

extern "C" void onStopSignal(int)
{
    g_stop.store(true);
}
} // namespace

void installStopHandler()
{
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#ifdef SIGHUP
    // A closed terminal hangs up every program it started: the demo still leaves the lights red.
    std::signal(SIGHUP, onStopSignal);
#endif
}

bool stopRequested()
{
    return g_stop.load();
}

void requestStop()
{
    g_stop.store(true);
}

void clearStopRequest()
{
    g_stop.store(false);
}

} // namespace bexen::ports
