// SPDX-License-Identifier: MIT
#pragma once

namespace bexen::pictures {

// The decorative figures of the picture boxes, drawn from vector artwork.
enum class Figure {
    Vehicle1, // Picture1(0): light 1's car, heading west
    Vehicle2, // Picture1(1): light 2's car, heading south
    Vehicle3, // Picture1(2): light 3's tow truck, heading east
    Vehicle4, // Picture1(3): light 4's bus, heading north
    Man, // Picture2: man with a briefcase
    WomanWithChild, // Picture3
    WomanWithPram, // Picture4
};

} // namespace bexen::pictures
