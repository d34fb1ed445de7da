// SPDX-License-Identifier: MIT
// One tick of the exchange: the accesses in their order, what the boxes and pictures show for
// each byte, and the tick on a real port file in the temporary directory.

#include "poll_cycle.h"
#include "support/private_tmpdir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace bexen::poll;
using namespace bexen::testing;

namespace {

const char *boxName(TextBox box)
{
    switch (box) {
    case TextBox::Text1: return "Text1";
    case TextBox::Text2: return "Text2";
    case TextBox::Text3: return "Text3";
    case TextBox::Text4: return "Text4";
    case TextBox::Text5: return "Text5";
    }
    return "?";
}

// The window as the tick sees it, keeping a journal of every call in order.
class FakePanel final : public PanelControls {
public:
    void setText(TextBox box, std::string_view text) override
    {
        texts[boxName(box)] = std::string(text);
        journal.push_back(std::string(boxName(box)) + "=" + std::string(text));
    }
    int checkValue(int index) const override
    {
        checksRead.push_back(index);
        return checks.at(static_cast<std::size_t>(index));
    }
    void showLegendPicture(int image18, int image11) override
    {
        stateImage[image18] = image11;
        journal.push_back("Image18(" + std::to_string(image18) + ")<-Image11("
                          + std::to_string(image11) + ")");
    }

    std::map<std::string, std::string> texts;
    std::map<int, int> stateImage; // Image18 index -> Image11 index
    std::array<int, 5> checks{};
    mutable std::vector<int> checksRead;
    std::vector<std::string> journal;
};

// Port bytes from a table; each port may answer its second read differently, as when the
// emulator writes between the two.
class FakePorts final : public PortAccess {
public:
    std::uint8_t read(std::int32_t port) override
    {
        accesses.push_back("r" + std::to_string(port));
        const int nth = reads[port]++;
        if (nth > 0 && secondRead.count(port))
            return secondRead[port];
        return bytes[port];
    }
    void write(std::int32_t port, std::uint8_t value) override
    {
        accesses.push_back("w" + std::to_string(port) + "=" + std::to_string(value));
        bytes[port] = value;
    }

    std::map<int, std::uint8_t> bytes;
    std::map<int, std::uint8_t> secondRead;
    std::map<int, int> reads;
    std::vector<std::string> accesses;
};

const std::map<int, int> kAllDark{{0, 0}, {1, 0}, {2, 0}, {3, 0}};

} // namespace

TEST(PollCycle, AccessesAndControlsInOrder)
{
    FakePanel panel;
    FakePorts ports;
    TickMembers members;
    runTick(panel, ports, members);
    EXPECT_EQ(ports.accesses, (std::vector<std::string>{"r161", "r162", "r163", "r160", "r161",
                                                        "r162", "r163", "w150=0"}));
    // Text4 is blanked before its value goes in; the lights follow the four boxes.
    ASSERT_EQ(panel.journal.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(panel.journal.begin(), panel.journal.begin() + 9),
              (std::vector<std::string>{"Text3=0", "Text2=0", "Text5=0", "Text4=  ", "Text4=0",
                                        "Image18(1)<-Image11(0)", "Image18(2)<-Image11(0)",
                                        "Image18(3)<-Image11(0)", "Image18(0)<-Image11(0)"}));
    EXPECT_EQ(panel.journal.back(), "Text1=0 0 0 0  0 0 0 0");
}

TEST(PollCycle, LightValues)
{
    struct Row {
        int byte;
        const char *text;
        int picture;
    };
    // 0 dark, 1 red, 2 red and yellow, 3 yellow, 4 green; anything else is shown dark.
    for (const Row &row : {Row{0, "0", 0}, Row{1, "1", 1}, Row{2, "2", 2}, Row{3, "3", 3},
                           Row{4, "4", 4}, Row{5, "5", 0}, Row{200, "200", 0}, Row{255, "255", 0}}) {
        SCOPED_TRACE(row.byte);
        FakePanel panel;
        FakePorts ports;
        for (int port : {160, 161, 162, 163})
            ports.bytes[port] = static_cast<std::uint8_t>(row.byte);
        TickMembers members;
        runTick(panel, ports, members);
        for (const char *box : {"Text2", "Text3", "Text4", "Text5"})
            EXPECT_EQ(panel.texts[box], row.text) << box;
        for (int image = 0; image < 4; ++image)
            EXPECT_EQ(panel.stateImage[image], row.picture) << "Image18(" << image << ")";
    }
}

TEST(PollCycle, EachLightHasItsOwnBoxAndImage)
{
    FakePanel panel;
    FakePorts ports;
    ports.bytes = {{160, 1}, {161, 2}, {162, 3}, {163, 4}};
    TickMembers members;
    runTick(panel, ports, members);
    // Light 1 (160) is Text4 and Image18(1); light 4 (163) is Text5 and Image18(0).
    EXPECT_EQ(panel.texts["Text4"], "1");
    EXPECT_EQ(panel.texts["Text3"], "2");
    EXPECT_EQ(panel.texts["Text2"], "3");
    EXPECT_EQ(panel.texts["Text5"], "4");
    EXPECT_EQ(panel.stateImage, (std::map<int, int>{{1, 1}, {2, 2}, {3, 3}, {0, 4}}));
}

TEST(PollCycle, SecondReadDecidesTheLight)
{
    FakePanel panel;
    FakePorts ports;
    ports.bytes = {{161, 1}, {162, 1}, {163, 1}};
    ports.secondRead = {{161, 2}, {162, 4}, {163, 3}};
    TickMembers members;
    runTick(panel, ports, members);
    EXPECT_EQ(panel.texts["Text3"], "1");
    EXPECT_EQ(panel.stateImage[2], 2);
    EXPECT_EQ(panel.texts["Text2"], "1");
    EXPECT_EQ(panel.stateImage[3], 4);
    EXPECT_EQ(panel.texts["Text5"], "1");
    EXPECT_EQ(panel.stateImage[0], 3);
}

TEST(PollCycle, SensorBoxes)
{
    struct Row {
        std::array<int, 4> boxes; // Check1(0..3)
        std::string bits;
        int byte;
    };
    std::vector<Row> rows;
    // Every combination of ticked and cleared; the text spells bit 3 first.
    for (int combination = 0; combination < 16; ++combination) {
        Row row{{}, "0 0 0 0 ", combination};
        for (int k = 0; k < 4; ++k)
            row.boxes[static_cast<std::size_t>(k)] = (combination >> k) & 1;
        for (int k = 3; k >= 0; --k)
            row.bits += " " + std::to_string((combination >> k) & 1);
        rows.push_back(row);
    }
    // Greyed (2) counts as ticked.
    rows.push_back({{2, 2, 2, 2}, "0 0 0 0  1 1 1 1", 15});
    rows.push_back({{0, 0, 0, 2}, "0 0 0 0  1 0 0 0", 8});
    rows.push_back({{1, 0, 2, 1}, "0 0 0 0  1 1 0 1", 13});

    for (const Row &row : rows) {
        SCOPED_TRACE(row.bits);
        FakePanel panel;
        std::copy(row.boxes.begin(), row.boxes.end(), panel.checks.begin());
        FakePorts ports;
        TickMembers members;
        runTick(panel, ports, members);
        EXPECT_EQ(panel.texts["Text1"], row.bits);
        EXPECT_EQ(panel.texts["Text1"].size(), 16u);
        EXPECT_EQ(ports.accesses.back(), "w150=" + std::to_string(row.byte));
    }
}

TEST(PollCycle, OnlyTheFourSensorsAreRead)
{
    FakePanel panel;
    panel.checks = {0, 0, 0, 0, 1}; // a fifth box, as Check2 would be, ticked
    FakePorts ports;
    TickMembers members;
    runTick(panel, ports, members);
    EXPECT_EQ(panel.checksRead, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(ports.bytes[150], 0);
}

TEST(PollCycle, MembersAreRewrittenEveryTick)
{
    FakePanel panel;
    FakePorts ports;
    TickMembers members;
    ports.bytes = {{160, 4}, {161, 3}, {162, 2}, {163, 1}};
    panel.checks = {1, 1, 1, 1, 0};
    runTick(panel, ports, members);
    EXPECT_EQ(members.sensorByte, 15);

    FakePanel quiet;
    FakePorts dark;
    runTick(quiet, dark, members);
    EXPECT_EQ(members.lightState, (std::array<std::int16_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(members.sensorByte, 0);
    EXPECT_EQ(quiet.texts["Text1"], "0 0 0 0  0 0 0 0");
}

TEST(PollCycle, DecimalText)
{
    for (const auto &[value, text] : std::map<int, std::string>{
                 {0, "0"}, {9, "9"}, {10, "10"}, {100, "100"}, {255, "255"}})
        EXPECT_EQ(decimalText(static_cast<std::uint8_t>(value)), text);
}

// --- On a real port file ----------------------------------------------------------------------

TEST(PollCycleOnTheFile, FirstTickWithoutAFileMakesIt)
{
    PrivateTmpDir tmp;
    struct Row {
        std::array<int, 5> checks;
        char sensors;
    };
    for (const Row &row : {Row{{1, 0, 1, 0, 0}, '\x05'}, Row{{0, 1, 1, 0, 0}, '\x06'}}) {
        SCOPED_TRACE(static_cast<int>(row.sensors));
        std::remove(tmp.portFile().c_str());
        FakePanel panel;
        panel.checks = row.checks;
        PortFileAccess ports;
        TickMembers members;
        runTick(panel, ports, members);
        for (const char *box : {"Text2", "Text3", "Text4", "Text5"})
            EXPECT_EQ(panel.texts[box], "0") << box;
        EXPECT_EQ(panel.stateImage, kAllDark);
        EXPECT_EQ(tmp.portBytes(), std::string(50, '\0') + row.sensors);
    }
}

TEST(PollCycleOnTheFile, ShowsTheLightsAndKeepsTheEmulatorsBytes)
{
    PrivateTmpDir tmp;
    struct Row {
        const char *name;
        std::string bytes;
        std::array<int, 5> checks;
        std::map<std::string, std::string> texts; // the four lights' boxes and Text1
        std::map<int, int> pictures;
        char sensors;
    };
    std::string nines(120, '\x09');
    nines[60] = 2; // light 1
    nines[63] = 4; // light 4
    std::string threes(70, '\x33');
    threes[60] = 1;
    threes[61] = 2;
    threes[62] = 3;
    threes[63] = static_cast<char>(200); // no light value, shown dark
    const Row rows[] = {
            {"out-of-range byte among the lights", nines, {0, 0, 0, 1, 0},
             {{"Text4", "2"}, {"Text3", "9"}, {"Text2", "9"}, {"Text5", "4"}, {"Text1", "0 0 0 0  1 0 0 0"}},
             {{1, 2}, {2, 0}, {3, 0}, {0, 4}}, '\x08'},
            // Check1(3) greyed counts as ticked.
            {"each light its own value", threes, {1, 0, 0, 2, 0},
             {{"Text4", "1"}, {"Text3", "2"}, {"Text2", "3"}, {"Text5", "200"}, {"Text1", "0 0 0 0  1 0 0 1"}},
             {{1, 1}, {2, 2}, {3, 3}, {0, 0}}, '\x09'},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(tmp.writePortBytes(row.bytes));
        FakePanel panel;
        panel.checks = row.checks;
        PortFileAccess ports;
        TickMembers members;
        runTick(panel, ports, members);
        for (const auto &[box, text] : row.texts)
            EXPECT_EQ(panel.texts[box], text) << box;
        EXPECT_EQ(panel.stateImage, row.pictures);
        std::string after = row.bytes;
        after[50] = row.sensors;
        EXPECT_EQ(tmp.portBytes(), after);
    }
}
