# SPDX-License-Identifier: MIT
# The hardening Debian builds its own packages with (dpkg-buildflags, hardening=+all): a stack
# protector, fortified C library calls, and relocations made read-only once bound at start-up.
# The panel and bexen-ports run beside the rest of the system and are held to its standard.
# A sanitizer build goes without: the fortified calls would pass by AddressSanitizer's checks.
option(BEXEN_HARDENING "Build with the hardening flags of Debian's own packages" ON)
if(BEXEN_HARDENING AND NOT WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang"
        AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
    # Fortification works through the optimiser; without it the compiler only warns.
    add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
