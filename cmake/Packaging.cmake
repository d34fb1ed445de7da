# SPDX-License-Identifier: MIT
# What `cmake --install` lays out, and the Debian packages CPack makes of it, two of one source
# as Debian splits a program with a desktop from its command-line tool: bexen-ports (the tool,
# its manual page, the scenarios and the autograder recipes; nothing of Qt, X or fonts, so it
# installs on a server or in an autograder's image) and bexen-semaphores (the panel, which
# depends on it). A build without the panel (BEXEN_TOOL_ONLY) makes bexen-ports alone. For
# Windows, the zip bexen-semaphores-VERSION-win64.zip with both programs, the examples, the
# licence and a short README, and the MSI of the same (cmake/Msi.cmake).
#   cmake --install <build> --prefix <prefix>
#   cpack --config <build>/CPackConfig.cmake -G DEB   (or: cmake --build <build> --target package)
#   cd build-windows && cpack -G ZIP

set(bexen_app_id bexen-semaphores)
# The desktop's name for the application, a reverse domain name as software centres want it: the
# desktop entry and the AppStream entry are both called so. The project has no domain of its own
# yet, so it stands under the reserved .invalid one, like the maintainer's address.
set(bexen_desktop_id invalid.bexen.semaphores)
set(bexen_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(bexen_ports_id bexen-ports)
# Debian wants each package's copyright and changelog in its own /usr/share/doc/PACKAGE.
set(bexen_doc_dirs "ports|${CMAKE_INSTALL_DATADIR}/doc/${bexen_ports_id}")
if(TARGET bexen-semaphores)
    list(APPEND bexen_doc_dirs "panel|${CMAKE_INSTALL_DATADIR}/doc/${bexen_app_id}")
endif()
set(CPACK_PACKAGE_CONTACT "Bexen Semaphores maintainers <maintainers@bexen.invalid>"
    CACHE STRING "Maintainer named in the Debian package")

# bexen-ports installs itself beside its sources (tools/ports).
if(TARGET bexen-semaphores)
    install(TARGETS bexen-semaphores
        RUNTIME DESTINATION ${BEXEN_INSTALL_BINDIR} COMPONENT panel
        BUNDLE DESTINATION . COMPONENT panel)
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
    foreach(pair ${bexen_doc_dirs})
        string(REPLACE "|" ";" pair "${pair}")
        list(GET pair 0 component)
        list(GET pair 1 dir)
        install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright DESTINATION ${dir} COMPONENT ${component})
    endforeach()
endif()

# What a Linux desktop and a Debian system look for: the desktop entry, the software centre's
# entry, the manual pages and the package's changelog.
if(TARGET bexen-semaphores AND NOT WIN32)
    install(FILES ${bexen_packaging}/${bexen_app_id}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${bexen_desktop_id}.desktop
        COMPONENT panel)
    install(FILES ${bexen_packaging}/${bexen_app_id}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        COMPONENT panel)
endif()
if(NOT WIN32)
    include(${PROJECT_SOURCE_DIR}/cmake/PackageDocs.cmake)
endif()

if(TARGET bexen_icons AND NOT WIN32)
    get_target_property(bexen_icon_dir bexen_icons BEXEN_ICON_DIR)
    get_target_property(bexen_icon_svg bexen_icons BEXEN_ICON_SVG)
    install(FILES ${bexen_icon_svg}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${bexen_app_id}.svg
        COMPONENT panel)
    foreach(size 16 32 48 64 128 256)
        install(FILES ${bexen_icon_dir}/${size}x${size}/${bexen_app_id}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            COMPONENT panel)
    endforeach()
endif()

set(CPACK_PACKAGE_NAME ${bexen_app_id})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Bexen Semaphores")
# Each Debian package's synopsis is the first line of its own description below. CPack would put
# the one summary of the project in front of both, unless that summary is CPack's default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
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
set(CPACK_DEBIAN_PACKAGE_SOURCE ${bexen_app_id})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ports)
set(CPACK_DEBIAN_PORTS_PACKAGE_NAME ${bexen_ports_id})
set(CPACK_DEBIAN_PORTS_DESCRIPTION
"see, set, watch, record and check a junction's port file; grade a controller
bexen-ports is the command-line companion of the Bexen Semaphores junction
panel. It works on the file emu_port.dat in the temporary directory, one
byte per I/O port, that a program running inside a machine emulator shares
with the panel: it prints and sets the four traffic lights (ports 160 to
163) and the car sensors (port 150), watches and records them, checks the
junction's rules, draws a run as a timing chart and plays a demo controller.
.
It grades a controller against traffic scenarios, with reports that
Gradescope and CI servers read (results.json, JUnit XML). The package needs
no display and no toolkit; its examples hold the scenarios and recipes for
autograders.")
if(TARGET bexen-semaphores)
    list(APPEND CPACK_COMPONENTS_ALL panel)
    set(CPACK_DEBIAN_PANEL_PACKAGE_NAME ${bexen_app_id})
    # The Qt libraries come from dpkg-shlibdeps; the font is loaded by name at run time, so it
    # is named here, and so is the tool, of the same release, that the panel's page sends its
    # users to for driving and checking the junction.
    set(CPACK_DEBIAN_PANEL_PACKAGE_DEPENDS "${bexen_ports_id} (= ${PROJECT_VERSION}), fonts-liberation2")
    set(CPACK_DEBIAN_PANEL_DESCRIPTION
"${PROJECT_DESCRIPTION}
Bexen Semaphores plays a road junction with four traffic lights and four car
sensors for a program running inside a machine emulator. The two share the
file emu_port.dat in the temporary directory, one byte per I/O port: the
panel shows the lights the program sets on ports 160 to 163 and reports the
sensors on port 150. The command-line tool comes with it, in the package
bexen-ports.")
endif()

include(CPack)
