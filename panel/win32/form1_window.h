// SPDX-License-Identifier: MIT
#pragma once

#include "accessible.h"
#include "control_ids.h"
#include "gdi.h"
#include "win32_headers.h"

#include "form1_tables.h"
#include "form1_tick.h"
#include "junction.h"
#include "pictures/light_pictures.h"
#include "poll_cycle.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace bexen::panel::win32 {

// The junction panel as a Win32 window of class "Form1": its controls are child windows made from
// the shared tables, the junction is painted beneath them from the shared fills, and Timer1 runs
// the shared tick every 100 milliseconds. Everything in pixels comes from twips at the window's
// own DPI.
class Form1Window final : public Form1View {
public:
    // Registers the window classes once per process.
    static bool registerClasses(HINSTANCE instance);
    // Makes and shows the window; it owns itself and goes when the window is destroyed.
    static HWND create(HINSTANCE instance, int showCommand);

    void showText(poll::TextBox box, std::string_view text) override;
    void showLightPicture(int image18Index, int value) override;
    CheckValue checkValue(int check1Index) const override;

private:
    struct Placed {
        HWND hwnd;
        TwipsRect at;
    };
    // A picture box's figure at the window's scale, ready for AlphaBlend.
    struct FigureBitmap {
        Colour back;
        pictures::Figure figure;
        int width = 0;
        int height = 0;
        OwnedBitmap bitmap;
    };

    explicit Form1Window(HINSTANCE instance);

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK imageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK pictureBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnCreate(HWND hwnd, LPCREATESTRUCT create);
    void OnTimer(HWND hwnd, UINT id);
    void OnCommand(HWND hwnd, int id, HWND control, UINT code);
    HBRUSH OnCtlColor(HWND hwnd, HDC dc, HWND control, int type);
    void OnDrawItem(HWND hwnd, const DRAWITEMSTRUCT *item);
    void OnDpiChanged(HWND hwnd, UINT dpi, const RECT *suggested);
    void OnSysColorChange(HWND hwnd);
    void OnDestroy(HWND hwnd);

    void PaintContent(HDC dc) const;
    void drawCheckBox(const DRAWITEMSTRUCT &item, const CheckBoxRow &row) const;
    void drawLabel(const DRAWITEMSTRUCT &item, const LabelRow &row) const;

    HWND makeChild(const wchar_t *windowClass, std::string_view text, DWORD style, DWORD exStyle,
                   int id, const TwipsRect &at);
    void makeTextBoxes();
    void makeCheckBoxes();
    void makePictureBoxes();
    void makeImages();
    void makeLabels();
    void chainTabOrder() const;
    void describeImage(HWND image, const std::string &name);

    // What depends on the DPI: fonts, brushes, icons, the figures, the children's places.
    void makeFonts();
    OwnedFont makeFont(LabelFont kind, int pixels) const;
    OwnedFont fittedFont(LabelFont kind) const; // the font at this DPI, no wider than the layout
    void makeBrushes();
    void makeIcons();
    void makeFigures();
    void placeChildren();
    void fitTextBoxes(); // each text box's margins and font, so that all it shows stands whole

    COLORREF rgb(Colour colour) const;
    HBRUSH brush(Colour colour) const;
    HFONT fontOf(LabelFont font) const;

    HINSTANCE m_instance;
    HWND m_hwnd = nullptr;
    UINT m_dpi = 96;
    std::vector<Fill> m_junction; // laid out for m_dpi, so a repaint only fills

    std::vector<Placed> m_placed;
    std::array<HWND, std::size(kTextBoxes)> m_texts{};
    std::array<HWND, std::size(kImages)> m_images{};
    std::array<CheckValue, std::size(kCheckBoxes)> m_checked{};
    std::vector<std::unique_ptr<FigureBitmap>> m_figures;
    bool m_showingText = false;
    Tooltips m_tooltips; // the images' words, as their accessible names say them

    std::array<OwnedBrush, 8> m_brushes;
    std::array<OwnedFont, 3> m_fonts; // by LabelFont
    std::array<OwnedFont, 3> m_layoutFonts; // at 96 dots per inch, which lines break in
    std::array<OwnedFont, std::size(kTextBoxes)> m_textBoxFonts;
    OwnedIcon m_bigIcon;
    OwnedIcon m_smallIcon;

    poll::PortFileAccess m_ports;
    std::optional<Form1Tick> m_tick;
};

} // namespace bexen::panel::win32
