// SPDX-License-Identifier: MIT
#include "commands/controller_args.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using bexen::ports::Args;

struct Case {
    const char *name;
    Args words;
    Args left; // what the command line keeps
    std::optional<Args> controller;
};

// The tool's options as the command line defines them: --file takes the next word.
const std::vector<std::string> kValueOptions{"--file"};

const Case kCases[] = {
    {"after test's own words", {"test", "quiet", "--", "demo", "-x"}, {"test", "quiet"},
     Args{"demo", "-x"}},
    {"--file PATH before test", {"--file", "p.dat", "test", "--", "ctl"}, {"--file", "p.dat", "test"},
     Args{"ctl"}},
    {"--file=PATH before test", {"--file=p.dat", "test", "--", "ctl"}, {"--file=p.dat", "test"},
     Args{"ctl"}},
    {"--file's value is no command", {"--file", "test", "watch", "--", "x"},
     {"--file", "test", "watch", "--", "x"}, std::nullopt},
    {"a -- of the controller's own", {"test", "--", "emu", "--", "prog.com"}, {"test"},
     Args{"emu", "--", "prog.com"}},
    {"another command's --", {"get", "--", "150"}, {"get", "--", "150"}, std::nullopt},
    {"test without --", {"test", "quiet"}, {"test", "quiet"}, std::nullopt},
    {"-- with nothing after it", {"test", "--"}, {"test"}, Args{}},
    {"--file without its value", {"--file"}, {"--file"}, std::nullopt},
};

TEST(ControllerArgs, TakesTheWordsAfterTestsDashes)
{
    for (const Case &c : kCases) {
        Args words = c.words;
        const auto controller = bexen::ports::takeControllerCommand(words, kValueOptions);
        EXPECT_EQ(controller, c.controller) << c.name;
        EXPECT_EQ(words, c.left) << c.name;
    }
}

} // namespace
