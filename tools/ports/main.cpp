// SPDX-License-Identifier: MIT
#include "commands/cli.h"

int main(int argc, char **argv)
{
    return bexen::ports::runMain(argc, argv);
}
