// SPDX-License-Identifier: MIT
#pragma once

#include "controls.h"
#include "form1_tick.h"
#include "junction.h"
#include "poll_cycle.h"

#include <QWidget>

#include <array>
#include <string>
#include <string_view>
#include <vector>

class QLineEdit;
class QTimer;

namespace bexen::panel {

// The junction panel in Qt Widgets. It builds its controls from the tables of form1_tables.h,
// paints the plan of the crossroads beneath them, and lets Timer1 run the shared tick every
// 100 milliseconds, which shows what it reads through the view this window offers it.
class Form1 final : public QWidget, private Form1View {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

    // The controls by their designer names and indexes.
    QLineEdit *text(poll::TextBox box) const;
    SensorCheckBox *check1(int index) const;
    SensorCheckBox *check2() const { return m_check2; }
    LightImage *image18(int index) const;
    LightImage *image11(int index) const;
    PanelLabel *label(int number) const; // Label1 to Label20
    QTimer *timer1() const { return m_timer1; }

    // Timer1's handler: one exchange with the emulator through the port file.
    void timer1Tick();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void buildTextBoxes();
    void buildCheckBoxes();
    void buildPictureBoxes();
    void buildImages();
    void buildLabels();
    void chainTabOrder();

    void showText(poll::TextBox box, std::string_view text) override;
    void showLightPicture(int image18Index, int value) override;
    CheckValue checkValue(int check1Index) const override;

    std::array<QLineEdit *, std::size(kTextBoxRows)> m_texts{};
    std::array<SensorCheckBox *, std::size(kCheck1Rows)> m_check1{};
    std::array<CheckValue, std::size(kCheck1Rows)> m_check1Values{}; // what checkValue answers
    SensorCheckBox *m_check2 = nullptr;
    std::array<LightImage *, std::size(kImage18Rows)> m_image18{};
    std::array<LightImage *, std::size(kImage11Rows)> m_image11{};
    std::array<PanelLabel *, std::size(kLabelRows)> m_labels{};
    std::array<QWidget *, kTabStopCount> m_tabStops{}; // in kTabOrder's order
    QTimer *m_timer1 = nullptr;

    std::vector<Fill> m_junction; // laid out for the screen it was last painted on
    int m_junctionDpi = 0;
    poll::PortFileAccess m_ports;
    Form1Tick m_tick{*this, m_ports};
};

// The form's font, "MS Sans Serif" at 8.25 points, with its substitutes registered.
QFont formFont();

} // namespace bexen::panel
