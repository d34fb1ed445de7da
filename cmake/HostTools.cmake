# SPDX-License-Identifier: MIT
# The build-time painters (bexen_render_boxes, bexen_render_icon) run on the machine that builds,
# and need Qt. A build with Qt makes them as its own targets; a cross build for Windows has no
# Qt for its target, so it runs those of a build for the host:
#   cmake ... -DBEXEN_HOST_TOOLS_DIR=<host build directory>
# (scripts/test-windows.sh makes one in build/ with scripts/setup.sh and passes it on).
include_guard(GLOBAL)
set(BEXEN_HOST_TOOLS_DIR "" CACHE PATH
    "A host build of this project whose painters a cross build runs")

# bexen_host_tool(<tool>): sets <tool>_command to what runs it and <tool>_depends to what a custom
# command that runs it depends on.
function(bexen_host_tool tool)
    if(TARGET ${tool})
        set(${tool}_command $<TARGET_FILE:${tool}> PARENT_SCOPE)
        set(${tool}_depends ${tool} PARENT_SCOPE)
        return()
    endif()
    foreach(dir panel panel/pictures panel/qt)
        set(candidate ${BEXEN_HOST_TOOLS_DIR}/${dir}/${tool})
        if(BEXEN_HOST_TOOLS_DIR AND EXISTS ${candidate})
            set(${tool}_command ${candidate} PARENT_SCOPE)
            set(${tool}_depends ${candidate} PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "${tool}: not found in BEXEN_HOST_TOOLS_DIR='${BEXEN_HOST_TOOLS_DIR}'. "
        "Build it for this machine first (scripts/setup.sh ${tool}) and point BEXEN_HOST_TOOLS_DIR "
        "at that build directory.")
endfunction()
