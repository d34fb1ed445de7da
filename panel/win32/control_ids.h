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

// How many rows each table has, in the order of Table.
inline constexpr std::size_t kTableRows[] = {std::size(kTextBoxes), std::size(kCheckBoxes),
                                             std::size(kPictureBoxes), std::size(kImages),
                                             std::size(kLabels)};

// The row of `table` that control `id` was made from, or -1 when it is not one of that table's.
constexpr int rowOf(Table table, int id)
{
    const int row = id - kTableBase[static_cast<int>(table)];
    return row >= 0 && static_cast<std::size_t>(row) < kTableRows[static_cast<int>(table)] ? row : -1;
}

} // namespace bexen::panel::win32
