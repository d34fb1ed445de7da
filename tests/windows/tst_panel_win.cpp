// SPDX-License-Identifier: MIT
// bexen-semaphores.exe as a real process beside this test, in a private temporary directory: its
// window, every control's place at several DPIs, the light pictures read back from the screen,
// and a light byte set by bexen-ports.exe reaching its light.

#include "windows_test_support.h"

#include "control_ids.h"
#include "form1_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <thread>
#include <vector>

using namespace bexen::wintest;
using namespace bexen::panel;
using bexen::panel::win32::controlId;
using bexen::panel::win32::Table;

namespace {

// Twips to pixels as the Windows documentation gives it, rounded to the nearest pixel.
int expectedPixels(int twips, int dpi)
{
    return (twips * dpi + 720) / 1440;
}

RECT expectedRect(int left, int top, int width, int height, int dpi)
{
    return {expectedPixels(left, dpi), expectedPixels(top, dpi), expectedPixels(left + width, dpi),
            expectedPixels(top + height, dpi)};
}

std::string programPath(const char *name)
{
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
    HWND findForm() const
    {
        struct Search {
            DWORD pid;
            HWND found;
        } search{m_process.dwProcessId, nullptr};
        ::EnumWindows(
                [](HWND hwnd, LPARAM param) -> BOOL {
                    auto *s = reinterpret_cast<Search *>(param);
                    DWORD pid = 0;
                    ::GetWindowThreadProcessId(hwnd, &pid);
                    std::array<char, 32> name{};
                    ::GetClassNameA(hwnd, name.data(), static_cast<int>(name.size()));
                    if (pid == s->pid && std::string_view(name.data()) == "Form1" && ::IsWindowVisible(hwnd)) {
                        s->found = hwnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

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
    const auto inside = [&](const RECT &r) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; };
    for (const PictureBoxRow &p : kPictureBoxes)
        if (inside(expectedRect(p.at.left, p.at.top, p.at.width, p.at.height, dpi)))
            return true;
    for (const TextBoxRow &t : kTextBoxes)
        if (inside(expectedRect(t.at.left, t.at.top, t.at.width, t.at.height, dpi)))
            return true;
    for (const CheckBoxRow &c : kCheckBoxes)
        if (inside(expectedRect(c.at.x, c.at.y, 135, 195, dpi)))
            return true;
    return false;
}

void writePorts(const PrivateDirectory &dir, const std::vector<std::pair<int, int>> &ports)
{
    std::string bytes(64, '\0');
    for (const auto &[port, value] : ports)
        bytes[static_cast<std::size_t>(port - 100)] = static_cast<char>(value);
    ASSERT_TRUE(writeFile(dir.portFile(), bytes));
}

// The value each image shows once the lights read 1, 2, 3, 4 (light 1 on port 160 ...).
int imageValue(const ImageRow &image)
{
    if (image.name == "Image11")
        return image.index;
    const LightRow *light = std::find_if(std::begin(kLights), std::end(kLights),
                                         [&](const LightRow &l) { return l.image18 == image.index; });
    return light->light;
}

class PanelLayout : public ::testing::TestWithParam<int> {};

TEST_P(PanelLayout, WindowAndEveryControlStandWhereTheirTwipsSay)
{
    const int dpi = GetParam();
    SavedEnvironment saved;
    PrivateDirectory dir;
    ScreenDpi screen(dpi);
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr) << "no visible Form1 window appeared";
    EXPECT_EQ(text(panel.form()), "Bexen  Semaphores");
    RECT client{};
    ::GetClientRect(panel.form(), &client);
    EXPECT_EQ(client.right, expectedPixels(6150, dpi)) << "client width at " << dpi << " dpi";
    EXPECT_EQ(client.bottom, expectedPixels(6240, dpi)) << "client height at " << dpi << " dpi";

    // Every control, by its table and row: where its twips put it, and what kind of window it is.
    struct Expected {
        Table table;
        std::size_t row;
        std::string name;
        RECT at;
        const char *windowClass;
    };
    std::vector<Expected> controls;
    const auto add = [&](Table table, std::size_t row, std::string_view name, int index, const TwipsRect &at,
                         const char *windowClass) {
        const std::string element = index < 0 ? std::string(name) : std::string(name) + "(" + std::to_string(index) + ")";
        controls.push_back({table, row, element, expectedRect(at.left, at.top, at.width, at.height, dpi), windowClass});
    };
    for (std::size_t i = 0; i < std::size(kTextBoxes); ++i)
        add(Table::TextBoxes, i, kTextBoxes[i].name, -1, kTextBoxes[i].at, "Edit");
    for (std::size_t i = 0; i < std::size(kCheckBoxes); ++i)
        add(Table::CheckBoxes, i, kCheckBoxes[i].name, kCheckBoxes[i].index,
            {kCheckBoxes[i].at.x, kCheckBoxes[i].at.y, 135, 195}, "Button");
    for (std::size_t i = 0; i < std::size(kPictureBoxes); ++i)
        add(Table::PictureBoxes, i, kPictureBoxes[i].name, kPictureBoxes[i].index, kPictureBoxes[i].at, nullptr);
    for (std::size_t i = 0; i < std::size(kImages); ++i)
        add(Table::Images, i, kImages[i].name, kImages[i].index, {kImages[i].at.x, kImages[i].at.y, 180, 435}, nullptr);
    for (std::size_t i = 0; i < std::size(kLabels); ++i)
        add(Table::Labels, i, kLabels[i].name, -1, kLabels[i].at, "Static");
    for (const Expected &c : controls) {
        const HWND child = panel.control(c.table, c.row);
        ASSERT_NE(child, nullptr) << c.name << " is missing";
        const RECT r = panel.placeOf(child);
        EXPECT_TRUE(r.left == c.at.left && r.top == c.at.top && r.right == c.at.right && r.bottom == c.at.bottom)
                << c.name << " at " << dpi << " dpi: (" << r.left << "," << r.top << ")-(" << r.right << ","
                << r.bottom << "), expected (" << c.at.left << "," << c.at.top << ")-(" << c.at.right << ","
                << c.at.bottom << ")";
        if (c.windowClass) {
            std::array<char, 32> name{};
            ::GetClassNameA(child, name.data(), static_cast<int>(name.size()));
            EXPECT_EQ(_stricmp(name.data(), c.windowClass), 0) << c.name << " is a " << name.data();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, PanelLayout, ::testing::Values(96, 120, 144, 192),
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
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const HWND next = ::GetNextDlgTabItem(panel.form(), stops[i].second, FALSE);
        EXPECT_EQ(next, stops[(i + 1) % stops.size()].second)
                << "Tab from the control of tab index " << stops[i].first;
    }
    // Labels and images never take the focus.
    for (std::size_t i = 0; i < std::size(kLabels); ++i)
        EXPECT_FALSE(::GetWindowLongA(panel.control(Table::Labels, i), GWL_STYLE) & WS_TABSTOP) << kLabels[i].name;
}

TEST(PanelPictures, NineLightPicturesArePixelForPixelTheLampTable)
{
    SavedEnvironment saved;
    PrivateDirectory dir;
    writePorts(dir, {{160, 1}, {161, 2}, {162, 3}, {163, 4}});
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr);
    ASSERT_TRUE(waitFor([&] { return panel.ticked(); })) << "Text1 still shows its first text";
    // A tick has run: the four lights read 1 to 4; every image then shows its value's picture.
    ASSERT_TRUE(waitFor([&] { return text(panel.control(Table::TextBoxes, 4)) == "4"; }));
    for (std::size_t i = 0; i < std::size(kImages); ++i) {
        const int value = imageValue(kImages[i]);
        const RECT at = panel.placeOf(panel.control(Table::Images, i));
        const Grab shown = grab(panel.form(), at);
        ASSERT_EQ(shown.width, 12);
        ASSERT_EQ(shown.height, 29);
        int wrong = 0;
        std::string first;
        for (int y = 0; y < 29; ++y) {
            for (int x = 0; x < 12; ++x) {
                if (shown.at(x, y) == lightPixel(value, x, y) || underAControl(at.left + x, at.top + y, 96))
                    continue;
                if (wrong++ == 0)
                    first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") is "
                            + hex(shown.at(x, y)) + ", not " + hex(lightPixel(value, x, y));
            }
        }
        EXPECT_EQ(wrong, 0) << kImages[i].name << "(" << kImages[i].index << ") of value " << value
                            << ": " << wrong << " of 348 pixels differ, the first " << first;
    }
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
    const Grab shown = grab(panel.form(), at);
    const std::set<std::uint32_t> own = {kBlack, kCyan, kDark, kRed, kYellow};
    int blended = 0;
    std::string first;
    for (std::size_t i = 0; i < shown.rgb.size(); ++i) {
        const int x = static_cast<int>(i) % shown.width;
        const int y = static_cast<int>(i) / shown.width;
        if (underAControl(at.left + x, at.top + y, 144))
            continue;
        if (own.count(shown.rgb[i]) == 0 && blended++ == 0)
            first = hex(shown.rgb[i]) + " at (" + std::to_string(i % shown.width) + ", "
                    + std::to_string(i / shown.width) + ")";
    }
    EXPECT_EQ(blended, 0) << blended << " pixels of " << shown.rgb.size() << " are smoothed, the first " << first;
    for (int lamp = 0; lamp < 3; ++lamp) {
        const int y = (kLampTops[lamp] * 2 + 8) * shown.height / 58; // the lamp's middle row
        EXPECT_EQ(shown.at(shown.width / 2, y), kLamps[2][lamp]) << "lamp " << lamp;
    }
}

TEST(PanelPorts, ALightByteFromAnotherProgramShowsOnItsLight)
{
    SavedEnvironment saved;
    PrivateDirectory dir;
    Panel panel(dir);
    ASSERT_NE(panel.form(), nullptr);
    ASSERT_TRUE(waitFor([&] { return panel.ticked(); }));
    // bexen-ports.exe stands in for the emulator: light 1 (port 160) goes green.
    std::string command = "\"" + programPath("bexen-ports.exe") + "\" set 160 4";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION tool{};
    ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &tool));
    ::WaitForSingleObject(tool.hProcess, 10000);
    ::CloseHandle(tool.hThread);
    ::CloseHandle(tool.hProcess);

    const HWND text4 = panel.control(Table::TextBoxes, 3);
    EXPECT_TRUE(waitFor([&] { return text(text4) == "4"; })) << "Text4 shows '" << text(text4) << "'";
    const HWND image18of1 = panel.control(Table::Images, 1);
    EXPECT_TRUE(waitFor([&] {
        const Grab shown = grab(panel.form(), panel.placeOf(image18of1));
        return shown.at(5, 22) == kGreen && shown.at(5, 4) == kDark;
    })) << "light 1's picture did not turn green";
    // Only light 1 changed: light 2's picture is still dark.
    const Grab light2 = grab(panel.form(), panel.placeOf(panel.control(Table::Images, 2)));
    EXPECT_EQ(light2.at(5, 22), kDark);
    EXPECT_EQ(text(panel.control(Table::TextBoxes, 0)), "0 0 0 0  0 0 0 0");
}

} // namespace
