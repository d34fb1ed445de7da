// SPDX-License-Identifier: MIT
// One tick of the exchange on a real port file in a Windows temporary directory.

#include "poll_cycle.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <map>

using namespace bexen::poll;
using namespace bexen::wintest;

namespace {

class RecordingControls final : public PanelControls {
public:
    explicit RecordingControls(std::array<int, 4> checks) : m_checks(checks) {}

    void setText(TextBox box, std::string_view text) override { texts[box] = std::string(text); }
    int checkValue(int check1Index) const override
    {
        return m_checks.at(static_cast<std::size_t>(check1Index));
    }
    void showLegendPicture(int image18Index, int image11Index) override
    {
        pictures[image18Index] = image11Index;
    }

    std::map<TextBox, std::string> texts;
    std::map<int, int> pictures; // Image18 index -> Image11 index

private:
    std::array<int, 4> m_checks;
};

class PollCycle : public ::testing::Test {
protected:
    void SetUp() override { setEnvironmentVariable("TMP", m_dir.path()); }

    // The directory goes last, once the current directory has been moved out of it.
    PrivateDirectory m_dir;
    SavedEnvironment m_saved;
};

} // namespace

TEST_F(PollCycle, ShowsTheLightsAndWritesTheSensors)
{
    std::string before(70, '\x33');
    before[60] = 1; // light 1
    before[61] = 2;
    before[62] = 3;
    before[63] = static_cast<char>(200); // light 4: no light value, shown dark
    ASSERT_TRUE(writeFile(m_dir.portFile(), before));

    RecordingControls controls({1, 0, 0, 2}); // Check1(3) greyed counts as ticked
    PortFileAccess ports;
    TickMembers members;
    runTick(controls, ports, members);

    EXPECT_EQ(controls.texts[TextBox::Text4], "1");
    EXPECT_EQ(controls.texts[TextBox::Text3], "2");
    EXPECT_EQ(controls.texts[TextBox::Text2], "3");
    EXPECT_EQ(controls.texts[TextBox::Text5], "200");
    EXPECT_EQ(controls.texts[TextBox::Text1], "0 0 0 0  1 0 0 1");
    EXPECT_EQ(controls.pictures, (std::map<int, int>{{1, 1}, {2, 2}, {3, 3}, {0, 0}}));

    std::string after = before;
    after[50] = 9;
    EXPECT_EQ(fileBytes(m_dir.portFile()), after);
}

TEST_F(PollCycle, FirstTickWithoutAFileMakesIt)
{
    RecordingControls controls({0, 1, 1, 0});
    PortFileAccess ports;
    TickMembers members;
    runTick(controls, ports, members);

    for (TextBox box : {TextBox::Text2, TextBox::Text3, TextBox::Text4, TextBox::Text5})
        EXPECT_EQ(controls.texts[box], "0");
    EXPECT_EQ(controls.pictures, (std::map<int, int>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(fileBytes(m_dir.portFile()), std::string(50, '\0') + '\x06');
}
