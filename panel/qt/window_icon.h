// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace bexen::pictures {

// The panel's window and application icon.
QIcon panelIcon();

} // namespace bexen::pictures
