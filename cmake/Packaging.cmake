# SPDX-License-Identifier: MIT
# What `cmake --install` lays out, and the Debian package CPack makes of it; for Windows, the zip
# bexen-semaphores-VERSION-win64.zip with both programs, the licence and a short README, and the
# MSI of the same (cmake/Msi.cmake).
#   cmake --install <build> --prefix <prefix>
#   cpack --config <build>/CPackConfig.cmake -G DEB   (or: cmake --build <build> --target package)
#   cd build-windows && cpack -G ZIP

set(bexen_app_id bexen-semaphores)
# The desktop's name for the application, a reverse domain name as software centres want it: the
# desktop entry and the AppStream entry are both called so. The project has no domain of its own
# yet, so it stands under the reserved .invalid one, like the maintainer's address.
set(bexen_desktop_id invalid.bexen.semaphores)
set(bexen_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(bexen_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${bexen_app_id})
set(CPACK_PACKAGE_CONTACT "Bexen Semaphores maintainers <maintainers@bexen.invalid>"
    CACHE STRING "Maintainer named in the Debian package")

# bexen-ports installs itself beside its sources (tools/ports).
if(TARGET bexen-semaphores)
    install(TARGETS bexen-semaphores
        RUNTIME DESTINATION ${BEXEN_INSTALL_BINDIR}
        BUNDLE DESTINATION .)
endif()

# The licence goes into every install tree, in the form its platform looks for. Debian keeps a
# package's licence in one place, the machine-readable copyright file under share/doc, which
# quotes LICENSE word for word (made from it here, so the two cannot drift apart); a second copy
# beside it would only repeat it. Windows has no such place: LICENSE.txt goes to the top of the
# tree, beside the programs, where the zip made of it shows it first, with a short README.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE bexen_licence)
string(REGEX REPLACE "\n+$" "" bexen_licence "${bexen_licence}")
string(REGEX REPLACE "\n\n" "\n.\n" bexen_licence "${bexen_licence}")
string(REPLACE "\n" "\n " bexen_licence_text " ${bexen_licence}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
configure_file(${bexen_packaging}/copyright.in ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
if(WIN32)
    include(${PROJECT_SOURCE_DIR}/cmake/Msi.cmake) # LICENSE.txt and README.txt, and the MSI
else()
    install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright DESTINATION ${bexen_doc_dir})
endif()

# What a Linux desktop and a Debian system look for: the desktop entry, the software centre's
# entry, the manual pages and the package's changelog.
if(NOT WIN32)
    install(FILES ${bexen_packaging}/${bexen_app_id}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${bexen_desktop_id}.desktop)
    install(FILES ${bexen_packaging}/${bexen_app_id}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    include(${PROJECT_SOURCE_DIR}/cmake/PackageDocs.cmake)
endif()

if(TARGET bexen_icons AND NOT WIN32)
    get_target_property(bexen_icon_dir bexen_icons BEXEN_ICON_DIR)
    get_target_property(bexen_icon_svg bexen_icons BEXEN_ICON_SVG)
    install(FILES ${bexen_icon_svg}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${bexen_app_id}.svg)
    foreach(size 16 32 48 64 128 256)
        install(FILES ${bexen_icon_dir}/${size}x${size}/${bexen_app_id}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endif()

set(CPACK_PACKAGE_NAME ${bexen_app_id})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Bexen Semaphores")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")

find_program(BEXEN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME ${bexen_app_id}-${PROJECT_VERSION}-win64)
elseif(BEXEN_DPKG_SHLIBDEPS)
    set(CPACK_GENERATOR DEB)
else()
    set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries come from dpkg-shlibdeps; the font is loaded by name at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_PACKAGE_DESCRIPTION
"Bexen Semaphores plays a road junction with four traffic lights and four car
sensors for a program running inside a machine emulator. The two share the
file emu_port.dat in the temporary directory, one byte per I/O port: the
panel shows the lights the program sets on ports 160 to 163 and reports the
sensors on port 150. bexen-ports inspects, sets, watches and records the
port file from the command line.")

include(CPack)
