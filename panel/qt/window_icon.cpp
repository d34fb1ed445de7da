// SPDX-License-Identifier: MIT
#include "window_icon.h"

#include "qt_description.h"
#include "raw_picture.h"

#include <QPixmap>

#include <cstddef>

namespace bexen::pictures {

// The window's icon at the sizes title bars and task bars ask for; anything else is scaled from
// the nearest. Larger icons, for menus and launchers, come from the installed icon theme. Each
// size is held three times over while the window hands it to the X server, so 128 and 256 would
// cost a megabyte. Made at build time by bexen_render_icon; `key` is the size.
extern const RawPicture kWindowIcons[];
extern const std::size_t kWindowIconCount;

QIcon panelIcon()
{
    // Painted from the icon's artwork at build time: the window needs only copies of it.
    QIcon icon;
    for (std::size_t i = 0; i < kWindowIconCount; ++i)
        icon.addPixmap(QPixmap::fromImage(panel::toQImage(kWindowIcons[i].expand())));
    return icon;
}

} // namespace bexen::pictures
