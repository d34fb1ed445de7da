# SPDX-License-Identifier: MIT
# One way to register a test: a Qt Test executable linked to the module libraries it checks.
#   bexen_add_test(NAME tst_x SOURCES a.cpp LIBS bexen_io [GUI] [LABELS l...])
# GUI tests run on the offscreen platform, so a local run equals CI and needs no display.
function(bexen_add_test)
    cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    qt_add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES MACOSX_BUNDLE OFF WIN32_EXECUTABLE OFF)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set(env "")
    if(T_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        ENVIRONMENT "${env}"
        TIMEOUT 120
        LABELS "${T_LABELS}")
endfunction()
