// SPDX-License-Identifier: MIT
// The real executable, stopped the way a user stops it: Ctrl-C, which the tool takes as a
// request to finish the running step. Every wait has a watchdog.

#include "port_channel.h"
#include "support/private_tmpdir.h"
#include "support/text.h"
#include "support/tool_process.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace bexen::testing;

namespace {

std::uint8_t portByte(const PrivateTmpDir &tmp, std::int32_t port)
{
    return bexen::io::readPortByte(port, tmp.portFile(), bexen::io::WhenMissing::ReadZero).value;
}

class JunctionProcess : public ::testing::Test {
protected:
    PrivateTmpDir m_tmp;
};

} // namespace

TEST_F(JunctionProcess, DemoEndsAllRedOnCtrlC)
{
    ToolProcess demo({"demo", "--all-red", "0.2", "--red-yellow", "0.2", "--yellow", "0.5"});
    ASSERT_TRUE(demo.waitFor([&] { return portByte(m_tmp, 160) == 4; })) << "no green";
    demo.signal(SIGINT);
    ASSERT_TRUE(demo.finish()) << "the demo did not stop";
    EXPECT_EQ(demo.exitCode(), 0);
    const std::string out = demo.out();
    EXPECT_TRUE(contains(out, "east-west road (lights 1 and 3): yellow (stopping)")) << out;
    EXPECT_TRUE(endsWith(out, "all lights red; the demo ends\n")) << out;
    for (std::int32_t port = 160; port <= 163; ++port)
        EXPECT_EQ(portByte(m_tmp, port), 1) << port;
}

TEST_F(JunctionProcess, RecordingIsWholeAfterCtrlC)
{
    const std::string csv = m_tmp.filePath("run.csv");
    ToolProcess record({"record", csv});
    ASSERT_TRUE(record.waitFor([&] { return countOf(fileBytes(csv), '\n') == 6; }));
    ASSERT_FALSE(bexen::io::writePortByte(161, 4, m_tmp.portFile()));
    ASSERT_TRUE(record.waitFor([&] { return countOf(fileBytes(csv), '\n') == 7; }));
    record.signal(SIGINT);
    ASSERT_TRUE(record.finish());
    EXPECT_EQ(record.exitCode(), 0);
    const std::vector<std::string> lines = split(fileBytes(csv), '\n');
    ASSERT_EQ(lines.size(), 9u); // six rows, the change and the end, each ended by a newline
    EXPECT_EQ(lines[0], "time_s,port,value");
    EXPECT_EQ(lines[1], "0.000,150,0");
    EXPECT_TRUE(endsWith(lines[6], ",161,4")) << lines[6];
    EXPECT_TRUE(endsWith(lines[7], ",150,0")) << lines[7];
    EXPECT_EQ(lines[8], "");
}

TEST_F(JunctionProcess, DemoPassesTheCheckerWithCarsFromAScript)
{
    const std::string script = m_tmp.filePath("cars.txt");
    ASSERT_TRUE(writeFileBytes(script, "# a car on each road in turn; each leaves once it has had green\n"
                                       "0.5 sensor 2 on\n3.5 sensor 2 off\n"
                                       "4 sensor 1 on\n7 sensor 1 off\n"));
    // Phases of half a second keep every step far longer than the checker's 100 ms poll, even
    // on a busy machine.
    ToolProcess demo({"demo", "--min-green", "0.5", "--yellow", "0.5", "--red-yellow", "0.5",
                      "--all-red", "0.5", "--duration", "9"});
    ToolProcess check({"watch", "--check", "--max-wait", "5", "--duration", "9"});
    ToolProcess play({"play", script});
    ASSERT_TRUE(play.finish());
    EXPECT_EQ(play.exitCode(), 0);
    ASSERT_TRUE(demo.finish());
    EXPECT_EQ(demo.exitCode(), 0);
    ASSERT_TRUE(check.finish());
    const std::string report = check.out();
    EXPECT_EQ(check.exitCode(), 0);
    EXPECT_TRUE(endsWith(report, "no violations\n")) << report;
    const std::string log = demo.out();
    EXPECT_TRUE(contains(log, "north-south road (lights 2 and 4): green")) << log;
    EXPECT_TRUE(contains(log, "(car waiting at light 1 after")) << log;
}
