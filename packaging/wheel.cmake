# Builds one wheel of the Python package from a staging copy that holds the
# package's sources and its platform's native files:
#
#   cmake -DPLATFORM=<linux_x86_64|win_amd64|win32> -DVERSION=<x.y.z>
#         -DSOURCE_DIR=<python/> -DSTAGE_DIR=<scratch> -DOUT_DIR=<folder>
#         -DPYTHON=<Debian's python3> [-DSTRIP=<strip program>]
#         -DFILES=<path>=<name>|<path>=<name>... -P wheel.cmake
#
# Each FILES entry is copied into the package folder under <name> (stripped,
# and without a build tree's run path), so OUT_DIR gets
# zorenc-<version>-py3-none-<platform>.whl with exactly those native files,
# and, with STRIP, zorenc-<version>-<platform>.debug.zip beside it with their
# debug information (<name>.debug each; the stripped files name them).
# The build is offline: python3 -m build --no-isolation, no index.
cmake_minimum_required(VERSION 3.21)

foreach(var PLATFORM VERSION SOURCE_DIR STAGE_DIR OUT_DIR PYTHON FILES)
    if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
        message(FATAL_ERROR "wheel.cmake: ${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE ${STAGE_DIR})
file(MAKE_DIRECTORY ${STAGE_DIR}/zorenc)
file(COPY ${SOURCE_DIR}/pyproject.toml ${SOURCE_DIR}/README.md DESTINATION ${STAGE_DIR})
file(GLOB sources ${SOURCE_DIR}/zorenc/*.py ${SOURCE_DIR}/zorenc/py.typed)
file(COPY ${sources} DESTINATION ${STAGE_DIR}/zorenc)
file(WRITE ${STAGE_DIR}/VERSION "${VERSION}\n")

string(REPLACE "|" ";" entries "${FILES}")
foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "^(.+)=([^=/]+)$")
        message(FATAL_ERROR "wheel.cmake: bad FILES entry '${entry}' (want <path>=<name>)")
    endif()
    set(from ${CMAKE_MATCH_1})
    set(to ${STAGE_DIR}/zorenc/${CMAKE_MATCH_2})
    if(NOT EXISTS ${from})
        message(FATAL_ERROR "wheel.cmake: ${from} does not exist; build it first")
    endif()
    file(COPY_FILE ${from} ${to})
    if(PLATFORM MATCHES "^linux")
        # The build tree's run path means nothing in an installed package.
        file(RPATH_REMOVE FILE ${to})
    endif()
    if(STRIP)
        # The debug information first, into the symbols zip beside the wheel;
        # the stripped file names its .debug file (.gnu_debuglink).
        string(REGEX REPLACE "strip$" "objcopy" objcopy "${STRIP}")
        get_filename_component(name ${to} NAME)
        set(debug ${STAGE_DIR}/debug/${name}.debug)
        file(MAKE_DIRECTORY ${STAGE_DIR}/debug)
        execute_process(COMMAND ${objcopy} --only-keep-debug ${to} ${debug} RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "wheel.cmake: ${objcopy} --only-keep-debug ${to} failed")
        endif()
        execute_process(COMMAND ${STRIP} ${to} RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "wheel.cmake: ${STRIP} ${to} failed")
        endif()
        execute_process(COMMAND ${objcopy} --add-gnu-debuglink=${debug} ${to} RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "wheel.cmake: ${objcopy} --add-gnu-debuglink ${to} failed")
        endif()
    endif()
endforeach()
if(EXISTS ${STAGE_DIR}/debug)
    set(symbols ${OUT_DIR}/zorenc-${VERSION}-${PLATFORM}.debug.zip)
    file(REMOVE ${symbols})
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${symbols} --format=zip .
        WORKING_DIRECTORY ${STAGE_DIR}/debug RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "wheel.cmake: cannot write ${symbols}")
    endif()
    # Not part of the package itself.
    file(REMOVE_RECURSE ${STAGE_DIR}/debug)
endif()

set(wheel ${OUT_DIR}/zorenc-${VERSION}-py3-none-${PLATFORM}.whl)
file(REMOVE ${wheel})
execute_process(
    COMMAND ${PYTHON} -m build --no-isolation --wheel --outdir ${OUT_DIR}
            -C=--build-option=--plat-name=${PLATFORM} ${STAGE_DIR}
    WORKING_DIRECTORY ${STAGE_DIR}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT EXISTS ${wheel})
    message(FATAL_ERROR "wheel.cmake: building ${wheel} failed:\n${out}")
endif()
message(STATUS "Wheel: ${wheel}")
