# Test programs that run natively and, built by the MinGW builds, under Wine
# against the DLLs. Included by tests/CMakeLists.txt, so every test folder can
# use these functions whatever the order in which the folders are added.
#
# zorenc_add_test_program(<name> [GTEST] SOURCES <file>...)
#   An executable linked against the library, and GTest::gtest_main with GTEST:
#   natively against the shared library; for Windows <name>.exe in the DLL
#   build's tests/bin, built by the -posix compilers (cmake/windows_tests.cmake)
#   through the DLL's import library, with everything else linked statically.
#
# zorenc_add_wine_test(<test> PROGRAM <name> [SIM <target-or-path>] [SIM_ARGS <arg>...]
#                      [TIMEOUT <seconds>] [ARGS <arg>...])
#   Native build only: tests <test>_x64 and <test>_x32 that run <name>.exe of
#   the MinGW build folders ZORENC_WIN_x64_DIR and ZORENC_WIN_x32_DIR under
#   Wine through run.sh (with the simulator, when given), for each folder that
#   is set, when Wine is installed.
#
# zorenc_add_sim_test(<test> PROGRAM <target> [SIM ...] [SIM_ARGS ...] [TIMEOUT ...] [ARGS ...])
#   Native build only: runs the native <target> through run.sh --native, so that
#   it finds the simulator's port where its Windows build does (ZORENC_TEST_PORT).
#
# zorenc_wine_command(<out-var> <x64|x32> [SIM ...] [SIM_ARGS ...] [TIMEOUT ...])
#   The run.sh command line up to and including "--", for tests that wrap it;
#   the program then is ${ZORENC_WIN_<arch>_DIR}/tests/bin/<name>.exe.

set(ZORENC_WINE_DIR ${CMAKE_CURRENT_LIST_DIR})
if(ZORENC_DLL_BUILD)
    set(ZORENC_TEST_BIN_DIR ${ZORENC_DLL_BUILD}/tests/bin)
else()
    set(ZORENC_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests/bin)
endif()

if(NOT WIN32)
    find_program(ZORENC_WINE_PROGRAM wine)
    if(NOT ZORENC_WINE_PROGRAM AND (ZORENC_WIN_x64_DIR OR ZORENC_WIN_x32_DIR))
        message(WARNING "wine not found: the DLLs are not run")
    endif()
endif()

function(zorenc_add_test_program name)
    cmake_parse_arguments(arg "GTEST" "" "SOURCES" ${ARGN})
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE ${ZORENC_LIB})
    if(arg_GTEST)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    if(WIN32)
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZORENC_TEST_BIN_DIR})
        target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()

# run.sh and its options for a test (in the caller's arg_ variables).
macro(_zorenc_harness_options out)
    if(NOT arg_TIMEOUT)
        set(arg_TIMEOUT 120)
    endif()
    set(${out} bash ${ZORENC_WINE_DIR}/run.sh --timeout ${arg_TIMEOUT})
    if(arg_SIM)
        if(TARGET ${arg_SIM})
            list(APPEND ${out} --sim $<TARGET_FILE:${arg_SIM}>)
        else()
            list(APPEND ${out} --sim ${arg_SIM})
        endif()
        foreach(a IN LISTS arg_SIM_ARGS)
            list(APPEND ${out} --sim-arg ${a})
        endforeach()
    endif()
endmacro()

# The prefixes live in the native build folder; the DLL is found in its own.
macro(_zorenc_wine_options out arch)
    _zorenc_harness_options(${out})
    list(APPEND ${out} --root ${CMAKE_BINARY_DIR}/wine --dll-dir ${ZORENC_WIN_${arch}_DIR}/src --)
endmacro()

function(zorenc_wine_command out arch)
    cmake_parse_arguments(arg "" "SIM;TIMEOUT" "SIM_ARGS" ${ARGN})
    _zorenc_wine_options(cmd ${arch})
    set(${out} ${cmd} PARENT_SCOPE)
endfunction()

function(zorenc_add_wine_test test)
    cmake_parse_arguments(arg "" "PROGRAM;SIM;TIMEOUT" "SIM_ARGS;ARGS" ${ARGN})
    if(WIN32 OR NOT ZORENC_WINE_PROGRAM)
        return()
    endif()
    foreach(arch x64 x32)
        if(ZORENC_WIN_${arch}_DIR)
            _zorenc_wine_options(cmd ${arch})
            add_test(NAME ${test}_${arch}
                COMMAND ${cmd} ${ZORENC_WIN_${arch}_DIR}/tests/bin/${arg_PROGRAM}.exe ${arg_ARGS})
            # Room for making the prefix (about 15 s, once per build folder).
            math(EXPR limit "${arg_TIMEOUT} + 90")
            set_tests_properties(${test}_${arch} PROPERTIES TIMEOUT ${limit} LABELS wine
                SKIP_RETURN_CODE 77) # a 32-bit program where the kernel runs none (run.sh)
        endif()
    endforeach()
endfunction()

function(zorenc_add_sim_test test)
    cmake_parse_arguments(arg "" "PROGRAM;SIM;TIMEOUT" "SIM_ARGS;ARGS" ${ARGN})
    if(WIN32)
        return()
    endif()
    _zorenc_harness_options(cmd)
    add_test(NAME ${test} COMMAND ${cmd} --native -- $<TARGET_FILE:${arg_PROGRAM}> ${arg_ARGS})
    math(EXPR limit "${arg_TIMEOUT} + 30")
    set_tests_properties(${test} PROPERTIES TIMEOUT ${limit})
endfunction()
