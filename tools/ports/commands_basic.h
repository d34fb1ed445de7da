// SPDX-License-Identifier: MIT
#pragma once

#include "cli.h"

namespace bexen::ports {

int runWhere(Context &ctx, const Args &args);
int runGet(Context &ctx, const Args &args);
int runSet(Context &ctx, const Args &args);
int runDump(Context &ctx, const Args &args);
int runWatch(Context &ctx, const Args &args);

} // namespace bexen::ports
