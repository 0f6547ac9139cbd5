# Makes zorenc's release archives from built folders, through their install
# rules (cmake --install), so that an archive holds exactly what an install
# tree holds:
#
#   cmake -DNATIVE_DIR=<native build> [-DWIN64_DIR=<x86_64 MinGW build>
#         -DWIN32_DIR=<i686 MinGW build>] -DOUT_DIR=<folder> -P archives.cmake
#
#   OUT_DIR/zorenc-<version>-linux-x86_64.tar.gz   from NATIVE_DIR
#   OUT_DIR/zorenc-<version>-windows.zip           both DLLs, when both MinGW
#                                                  folders are given, with the
#                                                  HTML reference and the
#                                                  Wireshark dissector of
#                                                  NATIVE_DIR
#
# Every binary in an archive is stripped (the install's --strip); its debug
# information goes to <archive name>.debug.zip beside the archive, one
# <path in the archive>.debug file per binary, which the stripped binary names
# (.gnu_debuglink). GNU objcopy does both, for ELF and PE alike.
#
# The version is read from each build's zorenc_version.h; builds of different
# versions are refused. The trees are left in OUT_DIR/stage.
cmake_minimum_required(VERSION 3.20)

foreach(var NATIVE_DIR OUT_DIR)
    if(NOT ${var})
        message(FATAL_ERROR "archives.cmake: ${var} is not set")
    endif()
endforeach()

function(read_version dir out)
    set(header ${dir}/include/zorenc_version.h)
    if(NOT EXISTS ${header})
        message(FATAL_ERROR "archives.cmake: ${dir} is not a configured zorenc build (no ${header})")
    endif()
    file(STRINGS ${header} line REGEX "#define ZORENC_VERSION_STRING ")
    string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" version "${line}")
    set(${out} ${version} PARENT_SCOPE)
endfunction()

find_program(ZORENC_OBJCOPY NAMES objcopy)
if(NOT ZORENC_OBJCOPY)
    message(FATAL_ERROR "archives.cmake: objcopy not found (binutils)")
endif()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_QUIET)
    if(NOT rc EQUAL 0)
        string(REPLACE ";" " " text "${ARGN}")
        message(FATAL_ERROR "archives.cmake: failed (${rc}): ${text}")
    endif()
endfunction()

# Installs the build folders, in order, into one fresh tree and packs it.
function(make_archive name format)
    set(tree ${OUT_DIR}/stage/${name})
    file(REMOVE_RECURSE ${tree})
    set(full ${OUT_DIR}/stage/${name}.unstripped)
    set(debug ${OUT_DIR}/stage/${name}.debug)
    file(REMOVE_RECURSE ${full} ${debug})
    foreach(dir IN LISTS ARGN)
        run(${CMAKE_COMMAND} --install ${dir} --prefix ${tree} --strip)
        run(${CMAKE_COMMAND} --install ${dir} --prefix ${full})
    endforeach()
    # The binaries: what the unstripped install holds that carries debug sections.
    file(GLOB_RECURSE installed RELATIVE ${full} ${full}/bin/* ${full}/lib/*)
    foreach(file IN LISTS installed)
        if(IS_SYMLINK ${full}/${file} OR NOT file MATCHES "(\\.so[.0-9]*|\\.dll|\\.exe|^bin/[^.]+)$")
            continue()
        endif()
        get_filename_component(folder ${debug}/${file} DIRECTORY)
        get_filename_component(base ${file} NAME)
        file(MAKE_DIRECTORY ${folder})
        execute_process(COMMAND ${ZORENC_OBJCOPY} --only-keep-debug ${full}/${file}
                                ${debug}/${file}.debug RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
        if(NOT rc EQUAL 0)
            continue() # not an object file (a script)
        endif()
        run(${ZORENC_OBJCOPY} --add-gnu-debuglink=${debug}/${file}.debug ${tree}/${file})
    endforeach()
    file(REMOVE_RECURSE ${full})
    file(REMOVE ${OUT_DIR}/${name}.debug.zip)
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT_DIR}/${name}.debug.zip --format=zip .
        WORKING_DIRECTORY ${debug} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "archives.cmake: cannot write ${OUT_DIR}/${name}.debug.zip")
    endif()
    if(format STREQUAL "zip")
        set(archive ${OUT_DIR}/${name}.zip)
        set(tar_args cf ${archive} --format=zip)
    else()
        set(archive ${OUT_DIR}/${name}.tar.gz)
        set(tar_args czf ${archive} --format=gnutar)
    endif()
    if(DEFINED ZORENC_HTML AND EXISTS ${ZORENC_HTML}/index.html)
        file(COPY ${ZORENC_HTML}/ DESTINATION ${tree}/share/doc/zorenc/html)
    endif()
    # The Wireshark dissector is the same file everywhere; the MinGW builds
    # take the native build's, since they cannot run its generator.
    if(DEFINED ZORENC_DISSECTOR AND EXISTS ${ZORENC_DISSECTOR})
        file(COPY ${ZORENC_DISSECTOR} DESTINATION ${tree}/share/zorenc/wireshark)
    endif()
    file(REMOVE ${archive})
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar ${tar_args} ${name}
        WORKING_DIRECTORY ${OUT_DIR}/stage RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "archives.cmake: cannot write ${archive}")
    endif()
    message(STATUS "Archive: ${archive} (debug information: ${OUT_DIR}/${name}.debug.zip)")
endfunction()

read_version(${NATIVE_DIR} version)
file(MAKE_DIRECTORY ${OUT_DIR}/stage)

make_archive(zorenc-${version}-linux-x86_64 tar.gz ${NATIVE_DIR})

if(WIN64_DIR AND WIN32_DIR)
    foreach(dir ${WIN64_DIR} ${WIN32_DIR})
        read_version(${dir} v)
        if(NOT v STREQUAL version)
            message(FATAL_ERROR "archives.cmake: ${dir} is version ${v}, ${NATIVE_DIR} ${version}")
        endif()
    endforeach()
    # The 64-bit build brings zorenc.exe; the 32-bit build installs no tool.
    set(ZORENC_HTML ${NATIVE_DIR}/docs/html)
    set(ZORENC_DISSECTOR ${NATIVE_DIR}/wireshark/zorenc.lua)
    make_archive(zorenc-${version}-windows zip ${WIN64_DIR} ${WIN32_DIR})
elseif(WIN64_DIR OR WIN32_DIR)
    message(FATAL_ERROR "archives.cmake: the Windows archive needs both WIN64_DIR and WIN32_DIR")
endif()
