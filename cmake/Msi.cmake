# SPDX-License-Identifier: MIT
# What the Windows zip and MSI carry beside the programs, with Windows line ends; and the MSI,
# bexen-semaphores-VERSION-win64.msi, built by wixl (Debian package wixl, from msitools) from
# packaging/bexen-semaphores.wxs. Included by Packaging.cmake in a Windows build.

set(bexen_windows_texts "")
foreach(pair "${PROJECT_SOURCE_DIR}/LICENSE|LICENSE.txt" "${bexen_packaging}/README-windows.txt|README.txt")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 name)
    bexen_windows_text(${source} ${name} copy)
    list(APPEND bexen_windows_texts ${copy})
endforeach()
add_custom_target(bexen_windows_texts ALL DEPENDS ${bexen_windows_texts})
install(FILES ${bexen_windows_texts} DESTINATION .)

find_program(BEXEN_WIXL wixl)
if(NOT BEXEN_WIXL)
    message(WARNING "wixl not found (Debian package wixl): the MSI is not made")
    return()
endif()
if(NOT TARGET bexen-semaphores OR NOT TARGET bexen-ports)
    return()
endif()

# wixl takes its files by names relative to where it runs: everything the MSI holds is laid out
# in one directory first, the programs stripped as in the zip.
set(bexen_msi_stage ${PROJECT_BINARY_DIR}/msi)
set(bexen_msi ${PROJECT_BINARY_DIR}/${bexen_app_id}-${PROJECT_VERSION}-win64.msi)
set(bexen_msi_ico ${PROJECT_BINARY_DIR}/panel/win32/bexen-semaphores.ico)
set(bexen_msi_wxs ${bexen_packaging}/bexen-semaphores.wxs)
file(MAKE_DIRECTORY ${bexen_msi_stage})
set(strip_steps "")
foreach(program bexen-semaphores bexen-ports)
    list(APPEND strip_steps COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${program}> ${bexen_msi_stage}/)
    if(CMAKE_STRIP)
        list(APPEND strip_steps COMMAND ${CMAKE_STRIP} ${bexen_msi_stage}/${program}.exe)
    endif()
endforeach()
add_custom_command(OUTPUT ${bexen_msi}
    ${strip_steps}
    COMMAND ${CMAKE_COMMAND} -E copy ${bexen_windows_texts} ${bexen_msi_ico} ${bexen_msi_wxs} ${bexen_msi_stage}/
    COMMAND ${BEXEN_WIXL} -a x64 -D Version=${PROJECT_VERSION} -o ${bexen_msi} bexen-semaphores.wxs
    WORKING_DIRECTORY ${bexen_msi_stage}
    DEPENDS bexen-semaphores bexen-ports ${bexen_windows_texts} ${bexen_msi_wxs} ${bexen_msi_ico}
    COMMENT "Building ${bexen_app_id}-${PROJECT_VERSION}-win64.msi"
    VERBATIM)
add_custom_target(bexen_msi ALL DEPENDS ${bexen_msi})
add_dependencies(bexen_msi bexen_win32_icon)
