// SPDX-License-Identifier: MIT
#pragma once

// Marks a function that every tick runs. A tick comes after 100 ms asleep, when the processor's
// caches and address translations have gone to other programs, and each code page it touches
// costs a walk of the page tables; the compiler and linker put the functions so marked side by
// side, away from the rest of the program, so that a tick's code lies on as few pages as it can.
//
// What a tick only does when something is wrong (putting a failure's reason into words) is
// marked BEXEN_OFF_TICK_PATH: kept out of line and out of the tick's pages.
#if defined(__GNUC__) || defined(__clang__)
#define BEXEN_TICK_PATH [[gnu::hot]]
#define BEXEN_OFF_TICK_PATH [[gnu::cold, gnu::noinline]]
#else
#define BEXEN_TICK_PATH
#define BEXEN_OFF_TICK_PATH
#endif
