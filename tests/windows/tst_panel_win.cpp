// SPDX-License-Identifier: MIT
// bexen-semaphores.exe as a real process beside this test, in a private temporary directory: its
// window, every control's place at several DPIs, the light pictures read back from the screen,
// a light byte set by bexen-ports.exe reaching its light, and what a screen reader hears.
// BEXEN_PROGRAM_DIR, when set, names the directory the two programs are started from (an
// installed copy, say); by default they lie beside this test.

#include "windows_test_support.h"

#include <commctrl.h>
#include <oleacc.h>

#include "control_ids.h"
#include "dpi_calls.h"
#include "form1_tables.h"
#include "../panel/form1_expected.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

using namespace bexen::wintest;
using namespace bexen::panel;
namespace expected = bexen::panel::expected;
using bexen::panel::win32::controlId;
using bexen::panel::win32::kWithoutDpiCallsVariable;
using bexen::panel::win32::Table;

namespace {

// Twips to pixels as the Windows documentation gives it, rounded to the nearest pixel.
int expectedPixels(int twips, int dpi)
{
    return (twips * dpi + 720) / 1440;
}

// A control's place at `dpi`, from its twips: 15 to each of its pixels at 96 dots per inch.
RECT expectedRect(const expected::Control &c, int dpi)
{
    const auto at = [dpi](int pixelsAt96) { return expectedPixels(expected::kTwipsPerPixel * pixelsAt96, dpi); };
    return {at(c.left), at(c.top), at(c.left + c.width), at(c.top + c.height)};
}

// The panel's table of each kind of control, whose rows number its child windows.
constexpr Table tableOf(expected::Kind kind)
{
    switch (kind) {
    case expected::Kind::TextBox:
        return Table::TextBoxes;
    case expected::Kind::CheckBox:
        return Table::CheckBoxes;
    case expected::Kind::PictureBox:
        return Table::PictureBoxes;
    case expected::Kind::Image:
        return Table::Images;
    case expected::Kind::Label:
        break;
    }
    return Table::Labels;
}

std::string programPath(const char *name)
{
    if (const std::optional<std::string> installed = environmentVariable("BEXEN_PROGRAM_DIR"))
        return *installed + "\\" + name;
    std::array<char, MAX_PATH> self{};
    const DWORD length = ::GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size()));
    const std::string path(self.data(), length);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

// A window's text as its own process holds it: GetWindowText would give another process's edit
// box's title, not its contents.
std::string text(HWND hwnd)
{
    std::array<char, 256> buffer{};
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutA(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                               SMTO_ABORTIFHUNG, 5000, &length))
        return "(no answer)";
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// The screen density that processes started now take, from the value Windows keeps per user.
class ScreenDpi {
public:
    explicit ScreenDpi(int dpi)
    {
        const DWORD value = static_cast<DWORD>(dpi);
        ::RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &value,
                          sizeof(value));
    }
    ~ScreenDpi() { ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels"); }
};

// A top-level window of process `pid` and of class `windowClass`.
HWND topWindowOf(DWORD pid, const char *windowClass, bool visible)
{
    struct Search {
        DWORD pid;
        const char *windowClass;
        bool visible;
        HWND found;
    } search{pid, windowClass, visible, nullptr};
    ::EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                auto *s = reinterpret_cast<Search *>(param);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(hwnd, &pid);
                std::array<char, 64> name{};
                ::GetClassNameA(hwnd, name.data(), static_cast<int>(name.size()));
                if (pid == s->pid && _stricmp(name.data(), s->windowClass) == 0 && (!s->visible || ::IsWindowVisible(hwnd))) {
                    s->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The panel started with the private directory as its temporary directory, until the test ends.
class Panel {
public:
    explicit Panel(const PrivateDirectory &dir)
    {
        for (const char *name : kTempVariables)
            setEnvironmentVariable(name, dir.path());
        std::string command = "\"" + programPath("bexen-semaphores.exe") + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &m_process))
            return;
        waitFor([this] { return (m_form = findForm()) != nullptr; });
    }
    ~Panel()
    {
        if (m_form)
            ::PostMessageA(m_form, WM_CLOSE, 0, 0);
        if (m_process.hProcess) {
            if (::WaitForSingleObject(m_process.hProcess, 5000) != WAIT_OBJECT_0)
                ::TerminateProcess(m_process.hProcess, 1);
            ::CloseHandle(m_process.hThread);
            ::CloseHandle(m_process.hProcess);
        }
    }
    Panel(const Panel &) = delete;
    Panel &operator=(const Panel &) = delete;

    HWND form() const { return m_form; }
    DWORD processId() const { return m_process.dwProcessId; }
    HWND control(Table table, std::size_t row) const
    {
        return ::GetDlgItem(m_form, controlId(table, row));
    }
    // A control's place in the form's client area.
    RECT placeOf(HWND child) const
    {
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(HWND_DESKTOP, m_form, reinterpret_cast<POINT *>(&r), 2);
        return r;
    }
    bool ticked() const
    {
        return text(control(Table::TextBoxes, 0)) != kTextBoxes[0].initialText;
    }

private:
    HWND findForm() const { return topWindowOf(m_process.dwProcessId, "Form1", true); }

    PROCESS_INFORMATION m_process{};
    HWND m_form = nullptr;
};

// What is on the screen in a control's rectangle, as 0xRRGGBB, row by row from the top.
struct Grab {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y * width + x)]; }
};

Grab grab(HWND form, const RECT &inClient)
{
    POINT origin{inClient.left, inClient.top};
    ::ClientToScreen(form, &origin);
    Grab g;
    g.width = inClient.right - inClient.left;
    g.height = inClient.bottom - inClient.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = g.width;
    info.bmiHeader.biHeight = -g.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, g.width, g.height, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const auto *pixels = static_cast<const std::uint32_t *>(bits);
    for (int i = 0; i < g.width * g.height; ++i)
        g.rgb.push_back(pixels[i] & 0xffffff);
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return g;
}

std::string hex(std::uint32_t rgb)
{
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "#%06x", static_cast<unsigned>(rgb));
    return text.data();
}

// A light picture drawn from the lamp table: frame, cyan housing, three lamps of eight rows.
constexpr std::uint32_t kBlack = 0x000000, kCyan = 0x00ffff, kDark = 0xc0c0c0, kRed = 0xff0000,
                        kYellow = 0xffff00, kGreen = 0x008000;
constexpr const char *kLampRows[8] = {"k....kk....k", "k..kkcckk..k", "k..kcccck..k", "k.kcccccck.k",
                                      "k.kcccccck.k", "k..kcccck..k", "k..kkcckk..k", "k....kk....k"};
constexpr int kLampTops[3] = {1, 10, 19};
constexpr std::uint32_t kLamps[5][3] = {{kDark, kDark, kDark},
                                         {kRed, kDark, kDark},
                                         {kRed, kYellow, kDark},
                                         {kDark, kYellow, kDark},
                                         {kDark, kDark, kGreen}};

std::uint32_t lightPixel(int value, int x, int y)
{
    if (y == 0 || y == 28 || x == 0 || x == 11)
        return kBlack;
    for (int lamp = 0; lamp < 3; ++lamp) {
        const int row = y - kLampTops[lamp];
        if (row >= 0 && row < 8) {
            const char c = kLampRows[row][x];
            return c == 'k' ? kBlack : c == 'c' ? kLamps[value][lamp] : kCyan;
        }
    }
    return kCyan;
}

// Whether a client pixel lies under a picture box, text box or check box: those lie above the
// images (Picture2's corner covers the first pixel of Image18(1), for one).
bool underAControl(int x, int y, int dpi)
{
    return std::any_of(std::begin(expected::kControls), std::end(expected::kControls), [&](const expected::Control &c) {
        const RECT r = expectedRect(c, dpi);
        return c.kind != expected::Kind::Image && c.kind != expected::Kind::Label && x >= r.left && x < r.right
                && y >= r.top && y < r.bottom;
    });
}

void writePorts(const PrivateDirectory &dir, const std::vector<std::pair<int, int>> &ports)
{
    std::string bytes(64, '\0');
    for (const auto &[port, value] : ports)
        bytes[static_cast<std::size_t>(port - 100)] = static_cast<char>(value);
    ASSERT_TRUE(writeFile(dir.portFile(), bytes));
}

// How an image on the screen at 96 dots per inch differs from the picture of `value`: empty when
// it is that picture pixel for pixel, wherever no control above it covers it.
std::string differenceFrom(const Panel &panel, std::size_t imageRow, int value)
{
    const RECT at = panel.placeOf(panel.control(Table::Images, imageRow));
    const Grab shown = grab(panel.form(), at);
    if (shown.width != 12 || shown.height != 29)
        return "the image is " + std::to_string(shown.width) + " by " + std::to_string(shown.height);
    int wrong = 0;
    std::string first;
    for (int y = 0; y < 29; ++y) {
        for (int x = 0; x < 12; ++x) {
            if (shown.at(x, y) == lightPixel(value, x, y) || underAControl(at.left + x, at.top + y, 96))
                continue;
            if (wrong++ == 0)
                first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") is " + hex(shown.at(x, y))
                        + ", not " + hex(lightPixel(value, x, y));
        }
    }
    return wrong ? std::to_string(wrong) + " of 348 pixels differ, the first " + first : "";
}

// bexen-ports.exe run to its end with `arguments`, as the emulator's stand-in.
bool runPortsTool(const std::string &arguments)
{
    std::string command = "\"" + programPath("bexen-ports.exe") + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION tool{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &tool))
        return false;
    ::WaitForSingleObject(tool.hProcess, 10000);
    ::CloseHandle(tool.hThread);
    ::CloseHandle(tool.hProcess);
    return true;
}


// The panel started meanwhile finds none of the DPI calls newer than Windows 7 (Wine has them all),
// so that it takes the old systems' way to its DPI, frame and icons.
class WithoutNewerDpiCalls {
public:
    explicit WithoutNewerDpiCalls(bool on) { ::SetEnvironmentVariableW(kWithoutDpiCallsVariable, on ? L"1" : nullptr); }
    ~WithoutNewerDpiCalls() { ::SetEnvironmentVariableW(kWithoutDpiCallsVariable, nullptr); }
};

struct LayoutCase {
    int dpi;
    bool withoutNewerDpiCalls;
};

class PanelLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PanelLayout, WindowAndEveryControlStandWhereTheirTwipsSay)
{
    const int dpi = GetParam().dpi;
    SavedEnvironment saved;
    PrivateDirectory dir;
    ScreenDpi screen(dpi);
    WithoutNewerDpiCalls oldSystem(GetParam().withoutNewerDpiCalls);
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr) << "no visible Form1 window appeared";
    EXPECT_EQ(text(panel.form()), expected::kTitle);
    RECT client{};
    ::GetClientRect(panel.form(), &client);
    EXPECT_EQ(client.right, expectedPixels(expected::kTwipsPerPixel * expected::kClientWidth, dpi))
            << "client width at " << dpi << " dpi";
    EXPECT_EQ(client.bottom, expectedPixels(expected::kTwipsPerPixel * expected::kClientHeight, dpi))
            << "client height at " << dpi << " dpi";

    // Every control where its twips put it at this density, what it says, and what kind of window
    // it is: Edit for the text boxes, Button for the check boxes, Static for the labels, the
    // panel's own classes for the picture boxes and images.
    constexpr const char *kWindowClasses[] = {"Edit", "Button", nullptr, nullptr, "Static"};
    for (const expected::Control &c : expected::kControls) {
        const HWND child = panel.control(tableOf(c.kind), static_cast<std::size_t>(c.row));
        ASSERT_NE(child, nullptr) << c.name << " is missing";
        const RECT r = panel.placeOf(child);
        const RECT e = expectedRect(c, dpi);
        EXPECT_TRUE(r.left == e.left && r.top == e.top && r.right == e.right && r.bottom == e.bottom)
                << c.name << " at " << dpi << " dpi: (" << r.left << "," << r.top << ")-(" << r.right
                << "," << r.bottom << "), expected (" << e.left << "," << e.top << ")-(" << e.right << ","
                << e.bottom << ")";
        std::array<char, 32> kind{};
        ::GetClassNameA(child, kind.data(), static_cast<int>(kind.size()));
        const char *windowClass = kWindowClasses[static_cast<int>(c.kind)];
        EXPECT_TRUE(!windowClass || _stricmp(kind.data(), windowClass) == 0) << c.name << " is a " << kind.data();
        if (!c.caption.empty()) {
            EXPECT_EQ(text(child), c.caption) << c.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, PanelLayout,
                         ::testing::Values(LayoutCase{96, false}, LayoutCase{120, false}, LayoutCase{144, false},
                                           LayoutCase{192, false}, LayoutCase{96, true}, LayoutCase{144, true}),
                         [](const auto &info) {
                             return std::to_string(info.param.dpi) + "dpi"
                                     + (info.param.withoutNewerDpiCalls ? "AsOnWindows7" : "");
                         });

// The characters a text box shows, read from the screen inside its client edge, or why they are
// not `characters` whole. Each run of columns holding red ink is one character (the form's fonts
// leave a blank column between digits); a character cut by the box's edge leaves ink in its
// outermost column, a character pushed out of it leaves one run too few, and a cut copy of a
// digit differs from the digit's other copies.
std::string cutCharacters(const Panel &panel, std::size_t row, std::string_view characters)
{
    const HWND box = panel.control(Table::TextBoxes, row);
    RECT inner{};
    ::GetClientRect(box, &inner);
    ::MapWindowPoints(box, panel.form(), reinterpret_cast<POINT *>(&inner), 2);
    const Grab shown = grab(panel.form(), inner);
    if (shown.rgb.empty())
        return "the box has no inside";
    const std::uint32_t back = shown.at(0, 0); // the box's inside corner, which no text reaches
    const auto distance = [](std::uint32_t a, std::uint32_t b) {
        int sum = 0;
        for (int shift : {0, 8, 16})
            sum += std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff));
        return sum;
    };
    std::vector<std::string> runs; // each character's ink, column after column
    std::string run;
    bool atEdge = false;
    for (int x = 0; x < shown.width; ++x) {
        std::string column;
        for (int y = 0; y < shown.height; ++y)
            column += distance(shown.at(x, y), kRed) < distance(shown.at(x, y), back) ? '#' : '.';
        if (column.find('#') == std::string::npos) {
            if (!run.empty())
                runs.push_back(std::exchange(run, {}));
            continue;
        }
        atEdge = atEdge || x == 0 || x == shown.width - 1;
        run += column + '|';
    }
    if (!run.empty())
        runs.push_back(run);
    const std::string seen = std::to_string(runs.size()) + " characters in " + std::to_string(shown.width)
            + " pixels";
    if (atEdge)
        return seen + ", ink in the inside's outermost column";
    if (runs.size() != characters.size())
        return seen + ", not " + std::to_string(characters.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::size_t first = characters.find(characters[i]);
        if (runs[i] != runs[first])
            return "character " + std::to_string(i + 1) + " differs from character " + std::to_string(first + 1)
                    + ", both '" + characters[i] + "'";
    }
    return "";
}

class ValueBoxes : public ::testing::TestWithParam<int> {};

TEST_P(ValueBoxes, ShowTheLongestTextsWhole)
{
    const int dpi = GetParam();
    SavedEnvironment saved;
    PrivateDirectory dir;
    writePorts(dir, {{160, 255}, {161, 255}, {162, 255}, {163, 255}});
    ScreenDpi screen(dpi);
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr);
    ASSERT_TRUE(waitFor([&] { return text(panel.control(Table::TextBoxes, 3)) == "255"; })) << "no tick has run";
    // Text1 with no sensor ticked shows "0 0 0 0  0 0 0 0": its eight digits.
    for (std::size_t i = 0; i < std::size(kTextBoxes); ++i) {
        const bool text1 = kTextBoxes[i].box == bexen::poll::TextBox::Text1;
        const std::string_view characters = text1 ? "00000000" : "255";
        EXPECT_TRUE(waitFor([&] { return cutCharacters(panel, i, characters).empty(); }, std::chrono::seconds(3)))
                << "Text" << static_cast<int>(kTextBoxes[i].box) + 1 << " at " << dpi << " dpi: " << cutCharacters(panel, i, characters);
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, ValueBoxes, ::testing::Values(96, 120, 144, 192),
                         [](const auto &info) { return std::to_string(info.param) + "dpi"; });

TEST(PanelWindow, TabMovesThroughTheControlsInTheirTabIndexOrder)
{
    SavedEnvironment saved;
    PrivateDirectory dir;
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr);
    std::vector<std::pair<int, HWND>> stops;
    for (std::size_t i = 0; i < std::size(kTextBoxes); ++i)
        stops.emplace_back(kTextBoxes[i].tabIndex, panel.control(Table::TextBoxes, i));
    for (std::size_t i = 0; i < std::size(kCheckBoxes); ++i)
        stops.emplace_back(kCheckBoxes[i].tabIndex, panel.control(Table::CheckBoxes, i));
    for (std::size_t i = 0; i < std::size(kPictureBoxes); ++i)
        stops.emplace_back(kPictureBoxes[i].tabIndex, panel.control(Table::PictureBoxes, i));
    std::sort(stops.begin(), stops.end());
    for (std::size_t i = 0; i < stops.size(); ++i)
        EXPECT_EQ(::GetNextDlgTabItem(panel.form(), stops[i].second, FALSE), stops[(i + 1) % stops.size()].second)
                << "Tab from the control of tab index " << stops[i].first;
}

TEST(PanelPictures, NineLightPicturesAreTheLampTableAndFollowTheirPorts)
{
    SavedEnvironment saved;
    PrivateDirectory dir;
    writePorts(dir, {{160, 1}, {161, 2}, {162, 3}, {163, 4}});
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr);
    ASSERT_TRUE(waitFor([&] { return text(panel.control(Table::TextBoxes, 4)) == "4"; })) << "no tick has run";
    EXPECT_EQ(text(panel.control(Table::TextBoxes, 0)), "0 0 0 0  0 0 0 0");
    // Lights 1 to 4 read 1 to 4: each image shows its value's picture. The text boxes and the
    // images are repainted separately, so a text box may show its tick's value a moment before
    // the images reach the screen.
    const auto differences = [&] {
        std::string all;
        // Image18(0) to (3) show lights 4, 1, 2 and 3; Image11(v) is the picture of value v.
        constexpr int kValues[] = {4, 1, 2, 3, 0, 1, 2, 3, 4};
        for (std::size_t i = 0; i < std::size(kValues); ++i) {
            const std::string difference = differenceFrom(panel, i, kValues[i]);
            if (!difference.empty())
                all += (i < 4 ? "Image18(" + std::to_string(i) : "Image11(" + std::to_string(i - 4)) + "), value "
                        + std::to_string(kValues[i]) + ": " + difference + "\n";
        }
        return all;
    };
    EXPECT_TRUE(waitFor([&] { return differences().empty(); })) << differences();

    // bexen-ports.exe stands in for the emulator: light 1 (port 160, Image18(1)) goes green.
    ASSERT_TRUE(runPortsTool("set 160 4"));
    EXPECT_TRUE(waitFor([&] { return text(panel.control(Table::TextBoxes, 3)) == "4"; })) << "Text4 is not 4";
    EXPECT_TRUE(waitFor([&] { return differenceFrom(panel, 1, 4).empty(); })) << differenceFrom(panel, 1, 4);
    EXPECT_EQ(differenceFrom(panel, 2, 2), "") << "light 2 changed with light 1";

    // A value typed into a value box lasts until the next tick.
    const HWND text4 = panel.control(Table::TextBoxes, 3);
    ::SendMessageTimeoutA(text4, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("99"), SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_TRUE(waitFor([&] { return text(text4) == "4"; })) << "Text4 kept '" << text(text4) << "'";
}

TEST(PanelPictures, LightPicturesStayCrispAt144Dpi)
{
    SavedEnvironment saved;
    PrivateDirectory dir;
    writePorts(dir, {{160, 2}});
    ScreenDpi screen(144);
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr);
    ASSERT_TRUE(waitFor([&] { return text(panel.control(Table::TextBoxes, 3)) == "2"; }));
    // Image18(1), light 1, value 2: scaled by one and a half, every pixel is one of the picture's
    // own colours (never a blend), and the lamps' centres are red, yellow and dark.
    const RECT at = panel.placeOf(panel.control(Table::Images, 1));
    const auto lampCentre = [&](const Grab &g, int lamp) {
        return g.at(g.width / 2, (kLampTops[lamp] * 2 + 8) * g.height / 58); // the lamp's middle row
    };
    waitFor([&] { return lampCentre(grab(panel.form(), at), 0) == kRed; }); // the image repainted
    const Grab shown = grab(panel.form(), at);
    const std::set<std::uint32_t> own = {kBlack, kCyan, kDark, kRed, kYellow};
    int blended = 0;
    for (std::size_t i = 0; i < shown.rgb.size(); ++i) {
        const int x = at.left + static_cast<int>(i) % shown.width;
        const int y = at.top + static_cast<int>(i) / shown.width;
        blended += !underAControl(x, y, 144) && own.count(shown.rgb[i]) == 0;
    }
    EXPECT_EQ(blended, 0) << blended << " of " << shown.rgb.size() << " pixels are smoothed";
    for (int lamp = 0; lamp < 3; ++lamp)
        EXPECT_EQ(lampCentre(shown, lamp), kLamps[2][lamp]) << "lamp " << lamp;
}

} // namespace

namespace {

// What a screen reader hears of a control: its client object's role, state and name, asked
// through the same call the readers make.
struct Heard {
    long role = -1;
    long state = 0;
    std::string name;
    std::string failure;
};

std::string utf8(const wchar_t *text, int length)
{
    std::string bytes(static_cast<std::size_t>(length) * 3, '\0');
    bytes.resize(static_cast<std::size_t>(
            ::WideCharToMultiByte(CP_UTF8, 0, text, length, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

Heard heard(HWND control)
{
    Heard h;
    IAccessible *object = nullptr;
    const HRESULT found = ::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                                       reinterpret_cast<void **>(&object));
    if (FAILED(found) || !object) {
        h.failure = "AccessibleObjectFromWindow failed, " + hex(static_cast<std::uint32_t>(found));
        return h;
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role{}, state{};
    BSTR name = nullptr;
    if (FAILED(object->get_accRole(self, &role)) || FAILED(object->get_accState(self, &state))
        || FAILED(object->get_accName(self, &name)))
        h.failure = "the object does not answer role, state and name";
    h.role = role.vt == VT_I4 ? role.lVal : -1;
    h.state = state.vt == VT_I4 ? state.lVal : 0;
    if (name)
        h.name = utf8(name, static_cast<int>(::SysStringLen(name)));
    ::SysFreeString(name);
    object->Release();
    return h;
}

// The tooltip text of `tool`. TTM_GETTEXT writes into memory of the tooltip's own process, so
// the question and its answer are laid out there and read back.
std::string tooltipText(DWORD processId, HWND tips, HWND tool)
{
    struct Question {
        TTTOOLINFOW info;
        wchar_t text[256];
    };
    const HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return "(the panel's process cannot be opened)";
    auto *remote = static_cast<Question *>(
            ::VirtualAllocEx(process, nullptr, sizeof(Question), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    Question question{};
    question.info.cbSize = sizeof(question.info);
    question.info.hwnd = ::GetParent(tool);
    question.info.uId = reinterpret_cast<UINT_PTR>(tool);
    question.info.lpszText = remote->text;
    std::string answer = "(no answer)";
    if (remote && ::WriteProcessMemory(process, remote, &question, sizeof(question), nullptr)
        && ::SendMessageTimeoutW(tips, TTM_GETTEXTW, std::size(question.text), reinterpret_cast<LPARAM>(remote),
                                 SMTO_ABORTIFHUNG, 5000, nullptr)
        && ::ReadProcessMemory(process, remote, &question, sizeof(question), nullptr)) {
        question.text[std::size(question.text) - 1] = L'\0';
        answer = utf8(question.text, static_cast<int>(std::wcslen(question.text)));
    }
    if (remote)
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    ::CloseHandle(process);
    return answer;
}

// COM for this thread, as a screen reader has it.
struct ComApartment {
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
};

constexpr long kRoleCheckButton = 44; // ROLE_SYSTEM_CHECKBUTTON
constexpr long kRoleGraphic = 40;     // ROLE_SYSTEM_GRAPHIC

} // namespace

TEST(PanelSpeech, SensorBoxesAreCheckBoxesThatSayWhetherTheyAreTicked)
{
    ComApartment com;
    SavedEnvironment saved;
    PrivateDirectory dir;
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr);
    // Check1(k) by its row, and the light whose lane it lies in.
    const struct {
        std::size_t row;
        const char *name;
    } boxes[] = {{0, "Car waiting at light 1"}, {1, "Car waiting at light 2"}, {2, "Car waiting at light 3"},
                 {3, "Car waiting at light 4"}, {4, "Sample sensor box of the legend"}};
    const auto checked = [&](std::size_t row) {
        return (heard(panel.control(Table::CheckBoxes, row)).state & STATE_SYSTEM_CHECKED) != 0;
    };
    for (const auto &box : boxes) {
        const Heard h = heard(panel.control(Table::CheckBoxes, box.row));
        EXPECT_EQ(h.failure, "") << box.name;
        EXPECT_EQ(h.role, kRoleCheckButton) << box.name;
        EXPECT_EQ(h.name, box.name);
        EXPECT_EQ(h.state & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_CHECKED), STATE_SYSTEM_FOCUSABLE) << box.name;
    }
    // A click ticks Check1(2) alone; a second clears it again.
    const HWND check3 = panel.control(Table::CheckBoxes, 2);
    ::SendMessageTimeoutA(check3, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_TRUE(waitFor([&] { return checked(2); })) << "Check1(2) is not checked after a click";
    for (const std::size_t other : {0, 1, 3, 4})
        EXPECT_FALSE(checked(other)) << "row " << other << " checked with Check1(2)";
    ::SendMessageTimeoutA(check3, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_TRUE(waitFor([&] { return !checked(2); })) << "Check1(2) still checked after a second click";
}

TEST(PanelSpeech, LightsSayTheirStateInWordsAndTheirTooltipsTheSame)
{
    ComApartment com;
    SavedEnvironment saved;
    PrivateDirectory dir;
    writePorts(dir, {{160, 1}, {161, 2}, {162, 3}, {163, 4}});
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr);
    // The pointer comes to rest on Image18(0): the tooltip control is made at its first move.
    ::PostMessageA(panel.control(Table::Images, 0), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    HWND tips = nullptr;
    waitFor([&] { return (tips = topWindowOf(panel.processId(), TOOLTIPS_CLASSA, false)) != nullptr; });
    ASSERT_NE(tips, nullptr) << "no tooltip control after the pointer moved over Image18(0)";
    // Image18(0) is light 4's, Image18(1) light 1's; the rows of kImages follow the indexes.
    const struct {
        std::size_t row;
        std::string name;
    } lights[] = {{0, "Light 4, port 163: green"}, {1, "Light 1, port 160: red"},
                  {2, "Light 2, port 161: red and yellow"}, {3, "Light 3, port 162: yellow"},
                  {6, "Value 2: red and yellow"}};
    for (const auto &light : lights) {
        const HWND image = panel.control(Table::Images, light.row);
        EXPECT_TRUE(waitFor([&] { return heard(image).name == light.name; }))
                << "heard '" << heard(image).name << "', not '" << light.name << "' " << heard(image).failure;
        EXPECT_EQ(heard(image).role, kRoleGraphic) << light.name;
        EXPECT_EQ(tooltipText(panel.processId(), tips, image), light.name);
    }
    // A new value is said at the tick that shows it.
    ASSERT_TRUE(runPortsTool("set 160 0"));
    const HWND light1 = panel.control(Table::Images, 1);
    EXPECT_TRUE(waitFor([&] { return heard(light1).name == "Light 1, port 160: dark"; })) << heard(light1).name;
    EXPECT_EQ(tooltipText(panel.processId(), tips, light1), "Light 1, port 160: dark");
}
