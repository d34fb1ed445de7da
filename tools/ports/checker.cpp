#include "checker.h"

namespace bexen::ports {

int runCheckedWatch(Context &ctx, const Args &)
{
    return ctx.failUsage("watch", "--check is not available yet");
}

} // namespace bexen::ports
