# SPDX-License-Identifier: MIT
# Text files installed for people to read, copy and change (the scenarios, the autograder
# recipes): on Windows with Windows line ends, as Notepad before Windows 10 1809 needs, and
# elsewhere as they are in the tree.
#   bexen_windows_text(SOURCE NAME OUT_VAR)
#     SOURCE written into the build as packaging/windows/NAME with CR LF line ends; OUT_VAR
#     names the copy. A target of the calling directory must depend on it.
#   bexen_install_texts(DESTINATION DIR [FILES file...] [PROGRAMS script...])
#     FILES installed as texts; PROGRAMS, scripts for a Unix shell wherever they are unpacked
#     (a CR would end up in their commands), as they are and executable.

function(bexen_windows_text source name out_var)
    set(copy ${PROJECT_BINARY_DIR}/packaging/windows/${name})
    add_custom_command(OUTPUT ${copy}
        COMMAND ${CMAKE_COMMAND} -DIN=${source} -DOUT=${copy} -P ${PROJECT_SOURCE_DIR}/cmake/crlf.cmake
        DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/crlf.cmake
        COMMENT "Writing ${name} with Windows line ends"
        VERBATIM)
    set(${out_var} ${copy} PARENT_SCOPE)
endfunction()

function(bexen_install_texts)
    cmake_parse_arguments(T "" "DESTINATION" "FILES;PROGRAMS" ${ARGN})
    if(T_PROGRAMS)
        install(PROGRAMS ${T_PROGRAMS} DESTINATION ${T_DESTINATION})
    endif()
    if(NOT T_FILES)
        return()
    endif()
    if(NOT WIN32)
        install(FILES ${T_FILES} DESTINATION ${T_DESTINATION})
        return()
    endif()
    set(copies "")
    foreach(file ${T_FILES})
        get_filename_component(name ${file} NAME)
        cmake_path(SET name NORMALIZE "${T_DESTINATION}/${name}")
        bexen_windows_text(${file} ${name} copy)
        list(APPEND copies ${copy})
    endforeach()
    string(MAKE_C_IDENTIFIER "bexen_texts_${T_DESTINATION}" target)
    add_custom_target(${target} ALL DEPENDS ${copies})
    install(FILES ${copies} DESTINATION ${T_DESTINATION})
endfunction()
