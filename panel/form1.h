// SPDX-License-Identifier: MIT
#pragma once

#include "controls.h"
#include "poll_cycle.h"

#include <QWidget>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QLineEdit;
class QTimer;

namespace bexen::panel {

// The junction panel. It builds its controls from the tables of form1_tables.h, paints the plan
// of the crossroads beneath them, and lets Timer1 run the exchange with the emulator every
// 100 milliseconds through the controls it offers the tick.
class Form1 final : public QWidget, public poll::PanelControls {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

    void setText(poll::TextBox box, std::string_view text) override;
    int checkValue(int check1Index) const override;
    void showLegendPicture(int image18Index, int image11Index) override;

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
    void describeLight(int image18Index, const QString &state);
    void showText(std::size_t index, std::string_view text);
    void registerFocusable(int tabIndex, QWidget *widget);

    std::array<QLineEdit *, 5> m_texts{};
    std::array<SensorCheckBox *, 4> m_check1{};
    SensorCheckBox *m_check2 = nullptr;
    std::array<LightImage *, 4> m_image18{};
    std::array<LightImage *, 5> m_image11{};
    std::array<PanelLabel *, 20> m_labels{};
    std::vector<std::pair<int, QWidget *>> m_tabStops;
    QTimer *m_timer1 = nullptr;

    poll::PortFileAccess m_ports;
    poll::TickMembers m_tickMembers;
    // The texts a tick gives the value boxes, shown once it has run.
    bool m_inTick = false;
    std::array<std::string, 5> m_tickTexts;
    std::array<bool, 5> m_tickTextSet{};
    // The text the panel last gave each box; forgotten when the box's text changes otherwise.
    std::array<std::optional<std::string>, 5> m_shownTexts;
};

// Stands the nearest metric-compatible sans serif in for "MS Sans Serif", which Linux lacks.
void registerFontSubstitutes();

// The form's font, "MS Sans Serif" at 8.25 points, with its substitutes registered.
QFont formFont();

} // namespace bexen::panel
