# SPDX-License-Identifier: MIT
# The two ways to register a test.
#   bexen_add_gtest(NAME tst_x SOURCES a.cpp LIBS bexen_io [LABELS l...])
#     a GoogleTest executable, for the modules without a toolkit (io, poll, junction, the tool,
#     the machine): built the same way for Linux and for Windows, where ctest runs it under Wine.
#   bexen_add_test(NAME tst_x SOURCES a.cpp LIBS bexen_panel_qt [GUI] [LABELS l...])
#     a Qt Test executable, for the Qt panel and its painters (only where Qt is).
# GUI tests run on the offscreen platform, so a local run equals CI and needs no display.

# GoogleTest is built from its sources with the project's own compiler (Debian's googletest
# package), so a cross build for Windows gets a Windows build of it; else the one on the system.
set(BEXEN_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
if(NOT TARGET gtest AND NOT TARGET GTest::gtest)
    if(EXISTS ${BEXEN_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
        add_subdirectory(${BEXEN_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        # Its warnings are not ours to make errors of.
        target_compile_options(gtest PRIVATE $<IF:$<CXX_COMPILER_ID:MSVC>,/w,-w>)
        target_compile_options(gtest_main PRIVATE $<IF:$<CXX_COMPILER_ID:MSVC>,/w,-w>)
        # Plain C++: nothing for Qt's code generators, which the project turns on everywhere.
        set_target_properties(gtest gtest_main PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    else()
        find_package(GTest REQUIRED)
    endif()
endif()
if(TARGET gtest)
    set(BEXEN_GTEST_LIBS gtest gtest_main)
else()
    set(BEXEN_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

function(bexen_add_gtest)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    target_link_libraries(${T_NAME} PRIVATE ${BEXEN_GTEST_LIBS} ${T_LIBS})
    target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 300 LABELS "${T_LABELS}")
endfunction()

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
