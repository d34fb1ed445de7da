# SPDX-License-Identifier: MIT
# The packages' changelog (one, as the source's) and the two manual pages, compressed as Debian installs them: gzip -9,
# with no file name or time inside, so that building the same release twice gives the same bytes.
# Included by Packaging.cmake, after every program's target exists.

# The changelog's newest entry names the release this tree builds. A version raised in
# CMakeLists.txt and not there is caught here, not by the package's users.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${bexen_packaging}/changelog)
file(STRINGS ${bexen_packaging}/changelog bexen_changelog_top LIMIT_COUNT 1 REGEX "^[^ ]+ \\(")
string(REGEX MATCH "^[^ ]+ \\([^)]*\\)" bexen_changelog_top "${bexen_changelog_top}")
if(NOT bexen_changelog_top STREQUAL "${bexen_app_id} (${PROJECT_VERSION})")
    message(FATAL_ERROR "packaging/changelog: the newest entry is \"${bexen_changelog_top}\", "
        "not ${bexen_app_id} (${PROJECT_VERSION})")
endif()

set(bexen_docs_out ${PROJECT_BINARY_DIR}/packaging)
set(bexen_docs "")

# `bexen_gzip_doc(SOURCE NAME)`: SOURCE compressed into the build as NAME.gz.
function(bexen_gzip_doc source name)
    add_custom_command(OUTPUT ${bexen_docs_out}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${bexen_docs_out}/${name}
        COMMAND gzip -9 -n -f ${bexen_docs_out}/${name}
        DEPENDS ${source}
        COMMENT "Compressing ${name}"
        VERBATIM)
    set(bexen_docs ${bexen_docs} ${bexen_docs_out}/${name}.gz PARENT_SCOPE)
endfunction()

bexen_gzip_doc(${bexen_packaging}/changelog changelog)
foreach(pair ${bexen_doc_dirs})
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 component)
    list(GET pair 1 dir)
    install(FILES ${bexen_docs_out}/changelog.gz DESTINATION ${dir} COMPONENT ${component})
endforeach()

# The panel takes no arguments, so its page is written by hand.
if(TARGET bexen-semaphores)
    bexen_gzip_doc(${bexen_packaging}/bexen-semaphores.1 bexen-semaphores.1)
    install(FILES ${bexen_docs_out}/bexen-semaphores.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT panel)
endif()

# bexen-ports' page is made from the help of the program just built, so the two always agree;
# help2man runs it, which a cross build cannot do.
find_program(BEXEN_HELP2MAN help2man)
if(CMAKE_CROSSCOMPILING)
    message(STATUS "Cross build: no bexen-ports(1), which needs bexen-ports run here")
elseif(NOT BEXEN_HELP2MAN)
    message(WARNING "help2man not found (Debian package help2man): bexen-ports(1) is not made")
else()
    add_custom_command(OUTPUT ${bexen_docs_out}/bexen-ports.1.gz
        COMMAND bash ${bexen_packaging}/ports-man.sh $<TARGET_FILE:bexen-ports>
            ${bexen_packaging}/bexen-ports.h2m ${bexen_packaging}/changelog
            ${bexen_docs_out}/bexen-ports.1.gz
        DEPENDS bexen-ports
            ${bexen_packaging}/ports-man.sh ${bexen_packaging}/help2roff.awk
            ${bexen_packaging}/bexen-ports.h2m ${bexen_packaging}/changelog
        COMMENT "Writing bexen-ports(1) from bexen-ports --help"
        VERBATIM)
    list(APPEND bexen_docs ${bexen_docs_out}/bexen-ports.1.gz)
    install(FILES ${bexen_docs_out}/bexen-ports.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

add_custom_target(bexen_package_docs ALL DEPENDS ${bexen_docs})
