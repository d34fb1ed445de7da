// SPDX-License-Identifier: MIT
#include "form1_window.h"

#include "caption_wrap.h"
#include "colours.h"
#include "dpi_calls.h"
#include "junction.h"
#include "picture_box_art.h"
#include "spoken_names.h"
#include "twips.h"

#include <oleacc.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <utility>

namespace bexen::panel::win32 {
namespace {

constexpr wchar_t kPictureBoxClass[] = L"BexenPictureBox";
constexpr wchar_t kImageClass[] = L"BexenImage";
constexpr UINT_PTR kTimer1Id = 1;
constexpr int kIconResource = 1; // the program's first icon is the panel's

// A fixed frame: the layout is absolute, so the window neither resizes nor maximises.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

std::wstring widen(std::string_view text)
{
    if (text.empty())
        return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string narrow(const std::wstring &text)
{
    if (text.empty())
        return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                          length, nullptr, nullptr);
    return utf8;
}

std::wstring windowText(HWND hwnd)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

RECT toRect(const PixelRect &r)
{
    return {r.left, r.top, r.left + r.width, r.top + r.height};
}

// The frame that gives Form1 its client area of 6150 by 6240 twips at `dpi`.
SIZE frameSize(UINT dpi)
{
    RECT frame{0, 0, toPixels(kFormWidthTwips, static_cast<int>(dpi)),
               toPixels(kFormHeightTwips, static_cast<int>(dpi))};
    adjustWindowRect(frame, kFormStyle, 0, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

int textWidth(HDC dc, std::string_view text)
{
    const std::wstring wide = widen(text);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return static_cast<int>(size.cx);
}

// The form of the shared pictures' pixels to GDI: 32 bits each, B, G, R, A in memory (which is
// 0xAARRGGBB read as a number), rows from the top.
BITMAPINFO topDownBitmap(const pictures::Pixels &pixels)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Paints pixels into a rectangle, each one a block of whole device pixels: a light picture stays
// crisp at any DPI.
void paintPixels(HDC dc, const pictures::Pixels &pixels, const RECT &into)
{
    const BITMAPINFO info = topDownBitmap(pixels);
    const int previous = ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, into.left, into.top, into.right - into.left, into.bottom - into.top, 0, 0,
                    pixels.width, pixels.height, pixels.argb.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    ::SetStretchBltMode(dc, previous);
}

Form1Window *formOf(HWND hwnd)
{
    return reinterpret_cast<Form1Window *>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// The messages of a window that paints all of itself, on the screen and into any DC.
template <typename Paint>
LRESULT paintedWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, const Paint &paint)
{
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = ::BeginPaint(hwnd, &ps);
        paint(dc);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        paint(reinterpret_cast<HDC>(wParam));
        return 0;
    default:
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

bool Form1Window::registerClasses(HINSTANCE instance)
{
    const HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    const HCURSOR arrow = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    const struct {
        const wchar_t *name;
        WNDPROC proc;
    } classes[] = {
        {kForm1Class, &Form1Window::windowProc},
        {kPictureBoxClass, &Form1Window::pictureBoxProc},
        {kImageClass, &Form1Window::imageProc},
    };
    for (const auto &c : classes) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = c.proc;
        wc.hInstance = instance;
        wc.hIcon = c.proc == &Form1Window::windowProc ? icon : nullptr;
        wc.hCursor = arrow;
        wc.lpszClassName = c.name;
        // No background brush: every window paints all of itself, so nothing flickers.
        if (!::RegisterClassExW(&wc))
            return false;
    }
    return true;
}

HWND Form1Window::create(HINSTANCE instance, int showCommand)
{
    // The window takes the object over when it is made and deletes it when it goes; until then
    // this holder does.
    std::unique_ptr<Form1Window> form(new Form1Window(instance));
    const SIZE frame = frameSize(systemDpi());
    const HWND hwnd = ::CreateWindowExW(0, kForm1Class, widen(kFormCaption).c_str(), kFormStyle,
                                        CW_USEDEFAULT, CW_USEDEFAULT, frame.cx, frame.cy, nullptr,
                                        nullptr, instance, &form);
    if (hwnd) {
        ::ShowWindow(hwnd, showCommand);
        ::UpdateWindow(hwnd);
    }
    return hwnd;
}

Form1Window::Form1Window(HINSTANCE instance)
    : m_instance(instance)
    , m_tooltips(instance)
{
}

LRESULT CALLBACK Form1Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *holder = static_cast<std::unique_ptr<Form1Window> *>(
                reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        Form1Window *self = holder->release();
        self->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    Form1Window *self = formOf(hwnd);
    if (!self)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        std::unique_ptr<Form1Window> owned(self);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handle(hwnd, message, wParam, lParam);
}

LRESULT Form1Window::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(hwnd, WM_CREATE, OnCreate);
        HANDLE_MSG(hwnd, WM_TIMER, OnTimer);
        HANDLE_MSG(hwnd, WM_COMMAND, OnCommand);
        HANDLE_MSG(hwnd, WM_CTLCOLOREDIT, OnCtlColor);
        HANDLE_MSG(hwnd, WM_DRAWITEM, OnDrawItem);
        HANDLE_MSG(hwnd, WM_SYSCOLORCHANGE, OnSysColorChange);
        HANDLE_MSG(hwnd, WM_DESTROY, OnDestroy);
    case WM_ERASEBKGND:
    case WM_PAINT:
    case WM_PRINTCLIENT:
        return paintedWindow(hwnd, message, wParam, lParam, [this](HDC dc) { PaintContent(dc); });
    case WM_DPICHANGED:
        OnDpiChanged(hwnd, HIWORD(wParam), reinterpret_cast<const RECT *>(lParam));
        return 0;
    default:
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

BOOL Form1Window::OnCreate(HWND hwnd, LPCREATESTRUCT)
{
    makeBrushes();
    makeTextBoxes();
    makeCheckBoxes();
    makePictureBoxes();
    makeImages();
    makeLabels();
    chainTabOrder();

    // Made at the system's DPI; a window that opens on a monitor of another DPI takes its own,
    // where it stands. Fonts, icons, figures and places are all made as for a change of DPI.
    RECT frame;
    ::GetWindowRect(hwnd, &frame);
    OnDpiChanged(hwnd, windowDpi(hwnd), &frame);

    m_tick.emplace(*this, m_ports);
    ::SetTimer(hwnd, kTimer1Id, kTimer1IntervalMs, nullptr);
    return TRUE;
}

HWND Form1Window::makeChild(const wchar_t *windowClass, std::string_view text, DWORD style,
                            DWORD exStyle, int id, const TwipsRect &at)
{
    const RECT r = toRect(at.toPixels(static_cast<int>(m_dpi)));
    const HWND child = ::CreateWindowExW(exStyle, windowClass, widen(text).c_str(), kChildStyle | style,
                                         r.left, r.top, r.right - r.left, r.bottom - r.top, m_hwnd,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance,
                                         nullptr);
    m_placed.push_back({child, at});
    return child;
}

void Form1Window::makeTextBoxes()
{
    for (std::size_t i = 0; i < std::size(kTextBoxes); ++i) {
        const TextBoxRow &row = kTextBoxes[i];
        m_texts.at(static_cast<std::size_t>(row.box)) =
                makeChild(L"EDIT", row.initialText, WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL,
                          WS_EX_CLIENTEDGE, controlId(Table::TextBoxes, i), row.at);
    }
}

void Form1Window::makeCheckBoxes()
{
    // Drawn by the panel: the platform's box is 13 pixels square and would be cut to 9 by a
    // 135-twip control, so the square is drawn to fit the control instead.
    for (std::size_t i = 0; i < std::size(kCheckBoxes); ++i) {
        const CheckBoxRow &row = kCheckBoxes[i];
        const HWND box = makeChild(L"BUTTON", row.caption, WS_TABSTOP | BS_OWNERDRAW, 0,
                                   controlId(Table::CheckBoxes, i), row.rect());
        // A check box to screen readers, whatever draws it.
        const std::wstring name = widen(checkBoxName(row));
        speakFor(box, {ROLE_SYSTEM_CHECKBUTTON, [name] { return name; }, [this, i] {
                           const CheckValue value = m_checked.at(i);
                           return STATE_SYSTEM_FOCUSABLE
                                   | (value == CheckValue::Ticked ? STATE_SYSTEM_CHECKED : 0)
                                   | (value == CheckValue::Greyed ? STATE_SYSTEM_MIXED : 0);
                       }});
    }
}

void Form1Window::makePictureBoxes()
{
    for (std::size_t i = 0; i < std::size(kPictureBoxes); ++i) {
        const PictureBoxRow &row = kPictureBoxes[i];
        const HWND box = makeChild(kPictureBoxClass, row.spoken, WS_TABSTOP, 0,
                                   controlId(Table::PictureBoxes, i), row.at);
        auto figure = std::make_unique<FigureBitmap>();
        figure->back = row.back;
        figure->figure = row.figure;
        ::SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(figure.get()));
        m_figures.push_back(std::move(figure));
    }
}

void Form1Window::makeImages()
{
    for (std::size_t i = 0; i < std::size(kImages); ++i) {
        const ImageRow &row = kImages[i];
        const bool legend = row.role == ImageRole::Legend;
        const HWND image = makeChild(kImageClass, "", 0, 0, controlId(Table::Images, i), row.rect());
        const pictures::Pixels &picture =
                legend ? pictures::lightPicture(row.index) : pictures::blankLightPicture();
        ::SetWindowLongPtrW(image, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&picture));
        m_images.at(i) = image;
        // The image's window text is what it says, to a screen reader and in its tooltip.
        speakFor(image, {ROLE_SYSTEM_GRAPHIC, [image] { return windowText(image); },
                         [] { return long{STATE_SYSTEM_READONLY}; }});
        const std::wstring name = widen(imageName(row));
        ::SetWindowTextW(image, name.c_str());
        m_tooltips.add(image, name);
    }
}

void Form1Window::describeImage(HWND image, const std::string &name)
{
    const std::wstring words = widen(name);
    ::SetWindowTextW(image, words.c_str());
    m_tooltips.change(image, words);
    spokenChanged(image, EVENT_OBJECT_NAMECHANGE);
}

void Form1Window::makeLabels()
{
    // Owner-drawn, so that a caption wraps as the shared rule says rather than as the platform's
    // static control would (which would close up Label5's columns).
    for (std::size_t i = 0; i < std::size(kLabels); ++i) {
        const LabelRow &row = kLabels[i];
        makeChild(L"STATIC", row.caption, SS_OWNERDRAW | SS_NOPREFIX, 0, controlId(Table::Labels, i),
                  row.at);
    }
}

void Form1Window::chainTabOrder() const
{
    // The dialog manager moves the focus in Z order, so the stops go to the bottom one after the
    // other in their tab order; the labels and images, which never take the focus, then go below
    // them all, as windowless controls would lie beneath the rest.
    const auto toBottom = [](HWND control) {
        ::SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    };
    for (const ControlRef &stop : kTabOrder)
        toBottom(::GetDlgItem(m_hwnd, controlId(stop.table, stop.row)));
    for (const Placed &placed : m_placed) {
        if ((::GetWindowLongPtrW(placed.hwnd, GWL_STYLE) & WS_TABSTOP) == 0)
            toBottom(placed.hwnd);
    }
}

COLORREF Form1Window::rgb(Colour colour) const
{
    if (const std::optional<Rgb> fixed = fixedRgb(colour))
        return RGB(fixed->r, fixed->g, fixed->b);
    switch (colour) {
    case Colour::ButtonFace:
        return ::GetSysColor(COLOR_BTNFACE);
    case Colour::ButtonText:
        return ::GetSysColor(COLOR_BTNTEXT);
    case Colour::WindowBackground:
        return ::GetSysColor(COLOR_WINDOW);
    default:
        return ::GetSysColor(COLOR_WINDOWTEXT);
    }
}

HBRUSH Form1Window::brush(Colour colour) const
{
    return m_brushes.at(static_cast<std::size_t>(colour)).get();
}

HFONT Form1Window::fontOf(LabelFont font) const
{
    return m_fonts.at(static_cast<std::size_t>(font)).get();
}

void Form1Window::makeBrushes()
{
    for (std::size_t i = 0; i < m_brushes.size(); ++i)
        m_brushes[i].reset(::CreateSolidBrush(rgb(static_cast<Colour>(i))));
}

OwnedFont Form1Window::makeFont(LabelFont kind, int pixels) const
{
    LOGFONTW font{};
    const std::wstring family = widen(kFormFontFamily);
    std::wcsncpy(font.lfFaceName, family.c_str(), LF_FACESIZE - 1);
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfWeight = kind == LabelFont::BoldNumber ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = kind == LabelFont::Underlined;
    font.lfHeight = -pixels; // negative: the character's height, not the cell's
    return OwnedFont(::CreateFontIndirectW(&font));
}

OwnedFont Form1Window::fittedFont(LabelFont kind) const
{
    const HDC dc = ::GetDC(m_hwnd);
    OwnedFont font; // the last size measured, kept while its captions are
    int fontSize = 0;
    const auto widthIn = [&](int pixels, std::string_view text) {
        if (pixels != fontSize) {
            font = makeFont(kind, pixels);
            fontSize = pixels;
        }
        const Selected selected(dc, font.get());
        return textWidth(dc, text);
    };
    const int pixels = fittedFontPixels(hundredthsOf(kind), static_cast<int>(m_dpi), captionsIn(kind), widthIn);
    ::ReleaseDC(m_hwnd, dc);
    return makeFont(kind, pixels);
}

void Form1Window::makeFonts()
{
    for (const LabelFont kind : {LabelFont::Default, LabelFont::BoldNumber, LabelFont::Underlined}) {
        const auto i = static_cast<std::size_t>(kind);
        m_layoutFonts.at(i) = makeFont(kind, fontPixels(hundredthsOf(kind), kLayoutDpi));
        m_fonts.at(i) = fittedFont(kind);
    }
}

void Form1Window::makeIcons()
{
    const auto load = [&](int metric) {
        const int side = systemMetric(metric, m_dpi);
        return static_cast<HICON>(
                ::LoadImageW(m_instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, side, side, 0));
    };
    // The window lets go of the old icons before they are destroyed.
    OwnedIcon bigIcon(load(SM_CXICON));
    OwnedIcon smallIcon(load(SM_CXSMICON));
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
    m_bigIcon = std::move(bigIcon);
    m_smallIcon = std::move(smallIcon);
}

void Form1Window::makeFigures()
{
    // The figure painted at build time for the nearest scale to this DPI, copied once into a
    // bitmap that AlphaBlend lays over the box's back colour.
    const int scalePercent = nearestPrerenderedScale(::MulDiv(100, static_cast<int>(m_dpi), kLayoutDpi));
    for (const std::unique_ptr<FigureBitmap> &figure : m_figures) {
        figure->bitmap.reset();
        const pictures::RawPicture *raw = prerenderedFigure(figure->figure, scalePercent);
        if (!raw)
            continue;
        const pictures::Pixels pixels = raw->expand();
        const BITMAPINFO info = topDownBitmap(pixels);
        void *bits = nullptr;
        figure->bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!figure->bitmap || pixels.argb.empty())
            continue;
        std::memcpy(bits, pixels.argb.data(), pixels.argb.size() * sizeof(pixels.argb[0]));
        figure->width = pixels.width;
        figure->height = pixels.height;
    }
}

void Form1Window::placeChildren()
{
    for (const Placed &placed : m_placed) {
        const PixelRect r = placed.at.toPixels(static_cast<int>(m_dpi));
        ::SetWindowPos(placed.hwnd, nullptr, r.left, r.top, r.width, r.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    fitTextBoxes();
}

namespace {

// What a box can show, its widest texts among them: a light's byte has at most three digits, and
// Text1 the sensor bits as the tick writes them, after its first text.
std::vector<std::string> widestTextsOf(const TextBoxRow &row)
{
    if (row.box == TextBox::Text1)
        return {std::string(row.initialText), "0 0 0 0  0 0 0 0", "0 0 0 0  1 1 1 1"};
    std::vector<std::string> texts;
    for (char digit = '0'; digit <= '9'; ++digit)
        texts.emplace_back(3, digit);
    return texts;
}

} // namespace

void Form1Window::fitTextBoxes()
{
    // The edit control's margins for the form's font leave a 25-pixel box room for two digits:
    // no margins, and where the text is still wider than the box's formatting rectangle (which
    // the control may inset further), a smaller font for that box alone.
    const auto noMargins = [](HWND edit) {
        ::SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    };
    LOGFONTW form{};
    ::GetObjectW(fontOf(LabelFont::Default), sizeof(form), &form);
    const int formPixels = form.lfHeight < 0 ? -form.lfHeight : form.lfHeight;
    const HDC dc = ::GetDC(m_hwnd);
    for (std::size_t i = 0; i < std::size(kTextBoxes); ++i) {
        const HWND edit = m_texts.at(static_cast<std::size_t>(kTextBoxes[i].box));
        noMargins(edit);
        RECT format{};
        ::SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        const std::vector<std::string> texts = widestTextsOf(kTextBoxes[i]);
        const auto fits = [&](int pixels) {
            const OwnedFont candidate = makeFont(LabelFont::Default, pixels);
            const Selected selected(dc, candidate.get());
            return std::all_of(texts.begin(), texts.end(), [&](const std::string &text) {
                return textWidth(dc, text) <= format.right - format.left;
            });
        };
        // The box lets go of its old font before the font is destroyed; a new font puts the
        // margins back to the font's own.
        OwnedFont font = makeFont(LabelFont::Default,
                                  largestFittingPixels(formPixels, std::max(1, formPixels / 2), fits));
        ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        m_textBoxFonts.at(i) = std::move(font);
        noMargins(edit);
        ::InvalidateRect(edit, nullptr, TRUE);
    }
    ::ReleaseDC(m_hwnd, dc);
}

// Covers the whole client area, so the window has no background to erase.
void Form1Window::PaintContent(HDC dc) const
{
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    ::FillRect(dc, &client, brush(Colour::LightYellow));
    for (const Fill &fill : m_junction) {
        const RECT r = toRect(fill.rect);
        ::FillRect(dc, &r, brush(fill.colour));
    }
}

void Form1Window::OnTimer(HWND, UINT id)
{
    if (id == kTimer1Id)
        m_tick->run();
}

void Form1Window::OnCommand(HWND, int id, HWND control, UINT code)
{
    if (const int row = rowOf(Table::CheckBoxes, id);
        row >= 0 && (code == BN_CLICKED || code == BN_DOUBLECLICKED)) {
        // An owner-drawn button keeps no check of its own; a double click is two ticks.
        CheckValue &checked = m_checked.at(static_cast<std::size_t>(row));
        checked = checked == CheckValue::Cleared ? CheckValue::Ticked : CheckValue::Cleared;
        ::InvalidateRect(control, nullptr, FALSE);
        spokenChanged(control, EVENT_OBJECT_STATECHANGE);
        return;
    }
    if (const int row = rowOf(Table::TextBoxes, id); row >= 0 && code == EN_CHANGE && !m_showingText && m_tick)
        m_tick->textChanged(kTextBoxes[row].box, narrow(windowText(control)));
}

HBRUSH Form1Window::OnCtlColor(HWND, HDC dc, HWND control, int)
{
    const int row = rowOf(Table::TextBoxes, ::GetDlgCtrlID(control));
    if (row < 0)
        return nullptr;
    ::SetTextColor(dc, rgb(kTextBoxes[row].fore));
    ::SetBkColor(dc, rgb(kTextBoxes[row].back));
    return brush(kTextBoxes[row].back);
}

void Form1Window::OnDrawItem(HWND, const DRAWITEMSTRUCT *item)
{
    const int id = static_cast<int>(item->CtlID);
    if (const int row = rowOf(Table::CheckBoxes, id); row >= 0)
        drawCheckBox(*item, kCheckBoxes[row]);
    else if (const int label = rowOf(Table::Labels, id); label >= 0)
        drawLabel(*item, kLabels[label]);
}

void Form1Window::drawCheckBox(const DRAWITEMSTRUCT &item, const CheckBoxRow &row) const
{
    const HDC dc = item.hDC;
    const RECT &r = item.rcItem;
    ::FillRect(dc, &r, brush(row.back));
    const PixelRect inSquare = tickSquare({r.left, r.top, r.right - r.left, r.bottom - r.top});
    const RECT square = toRect(inSquare);
    // A frame one pixel wide at 96 dots per inch, and the tick mark of check_box.h.
    const int frame = scaledLineWidth(1, static_cast<int>(m_dpi));
    ::FillRect(dc, &square, brush(Colour::WindowText));
    RECT inside{square.left + frame, square.top + frame, square.right - frame, square.bottom - frame};
    ::FillRect(dc, &inside, brush((item.itemState & ODS_SELECTED) ? Colour::ButtonFace : Colour::WindowBackground));
    const std::size_t index = static_cast<std::size_t>(&row - kCheckBoxes);
    if (m_checked.at(index) != CheckValue::Cleared) {
        for (const TickCell &cell : kTickCells) {
            const RECT mark = toRect(tickColumn(cell, inSquare));
            ::FillRect(dc, &mark, brush(Colour::WindowText));
        }
    }
    if (item.itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &r);
}

void Form1Window::drawLabel(const DRAWITEMSTRUCT &item, const LabelRow &row) const
{
    const HDC dc = item.hDC;
    const RECT &r = item.rcItem;
    ::FillRect(dc, &r, brush(row.back));
    // The caption breaks where it breaks at 96 dots per inch, so that Label5's diagram keeps its
    // columns at every DPI; the fitted font then draws each line in its scaled box.
    std::vector<std::string> lines{std::string(row.caption)};
    if (row.wraps) {
        const Selected layout(dc, m_layoutFonts.at(static_cast<std::size_t>(row.font)).get());
        const auto widthInDc = [dc](std::string_view text) { return textWidth(dc, text); };
        lines = wrapCaption(row.caption, widthInDc, row.at.toPixels(kLayoutDpi).width);
    }
    const Selected font(dc, fontOf(row.font));
    ::SetTextColor(dc, rgb(row.fore));
    ::SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    int top = r.top;
    for (const std::string &line : lines) {
        const int x = alignedLeft(row.align, r.left, r.right - r.left, textWidth(dc, line));
        const std::wstring wide = widen(line);
        ::ExtTextOutW(dc, x, top, ETO_CLIPPED, &r, wide.c_str(), static_cast<UINT>(wide.size()), nullptr);
        top += metrics.tmHeight + metrics.tmExternalLeading;
    }
}

void Form1Window::OnDpiChanged(HWND hwnd, UINT dpi, const RECT *suggested)
{
    m_dpi = dpi;
    m_junction = junctionFills(static_cast<int>(m_dpi));
    makeFonts();
    makeIcons();
    makeFigures();
    placeChildren();
    // The client area from the twips, where the system suggests the window goes.
    const SIZE frame = frameSize(dpi);
    ::SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, frame.cx, frame.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form1Window::OnSysColorChange(HWND hwnd)
{
    // The desktop's colours changed: the roles that follow them take the new ones.
    makeBrushes();
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form1Window::OnDestroy(HWND hwnd)
{
    ::KillTimer(hwnd, kTimer1Id);
    ::PostQuitMessage(0);
}

void Form1Window::showText(poll::TextBox box, std::string_view text)
{
    const HWND edit = m_texts.at(static_cast<std::size_t>(box));
    m_showingText = true;
    ::SetWindowTextW(edit, widen(text).c_str());
    m_showingText = false;
}

void Form1Window::showLightPicture(int image18Index, int value)
{
    const HWND image = m_images.at(kImage18Rows.at(static_cast<std::size_t>(image18Index)));
    ::SetWindowLongPtrW(image, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pictures::lightPicture(value)));
    ::InvalidateRect(image, nullptr, FALSE);
    describeImage(image, lightName(image18Index, value));
}

CheckValue Form1Window::checkValue(int check1Index) const
{
    return m_checked.at(kCheck1Rows.at(static_cast<std::size_t>(check1Index)));
}

LRESULT CALLBACK Form1Window::imageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto paint = [hwnd](HDC dc) {
        const auto *picture = reinterpret_cast<const pictures::Pixels *>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        RECT r;
        ::GetClientRect(hwnd, &r);
        if (picture)
            paintPixels(dc, *picture, r);
    };
    if (message == WM_MOUSEMOVE) {
        if (Form1Window *form = formOf(::GetParent(hwnd)))
            form->m_tooltips.pointerMoved(hwnd, wParam, lParam);
    }
    return paintedWindow(hwnd, message, wParam, lParam, paint);
}

LRESULT CALLBACK Form1Window::pictureBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto paint = [hwnd](HDC dc) {
        const auto *figure = reinterpret_cast<const FigureBitmap *>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        const Form1Window *form = formOf(::GetParent(hwnd));
        if (!figure || !form)
            return;
        RECT r;
        ::GetClientRect(hwnd, &r);
        ::FillRect(dc, &r, form->brush(figure->back));
        if (figure->bitmap) {
            const OwnedMemoryDc source(::CreateCompatibleDC(dc));
            const Selected bitmap(source.get(), figure->bitmap.get());
            const BLENDFUNCTION over{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            ::GdiAlphaBlend(dc, 0, 0, r.right, r.bottom, source.get(), 0, 0, figure->width,
                            figure->height, over);
        }
        if (::GetFocus() == hwnd)
            ::DrawFocusRect(dc, &r);
    };
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        ::InvalidateRect(hwnd, nullptr, FALSE); // the focus frame comes or goes
        return 0;
    }
    return paintedWindow(hwnd, message, wParam, lParam, paint);
}

} // namespace bexen::panel::win32
