// SPDX-License-Identifier: MIT
#pragma once

#include "form1_tables.h"

#include <cstddef>
#include <iterator>

namespace bexen::panel::win32 {

// The window class of the panel, the one its caption and the tests look for.
inline constexpr wchar_t kForm1Class[] = L"Form1";

// Each child window's control ID says which row of which table it was made from: the table's
// base plus the row's position. The window's handlers and the tests go back from ID to row.
using panel::Table;

inline constexpr int kTableBase[] = {1000, 1100, 1200, 1300, 1400};

constexpr int controlId(Table table, std::size_t row)
{
    return kTableBase[static_cast<int>(table)] + static_cast<int>(row);
}

constexpr std::size_t tableRows(Table table)
{
    switch (table) {
    case Table::TextBoxes:
        return std::size(kTextBoxes);
    case Table::CheckBoxes:
        return std::size(kCheckBoxes);
    case Table::PictureBoxes:
        return std::size(kPictureBoxes);
    case Table::Images:
        return std::size(kImages);
    case Table::Labels:
        return std::size(kLabels);
    }
    return 0;
}

// The row of `table` that control `id` was made from, or -1 when it is not one of that table's.
constexpr int rowOf(Table table, int id)
{
    const int row = id - kTableBase[static_cast<int>(table)];
    return row >= 0 && static_cast<std::size_t>(row) < tableRows(table) ? row : -1;
}

} // namespace bexen::panel::win32
