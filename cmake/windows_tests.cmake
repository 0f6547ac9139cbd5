# The Windows test programs: GoogleTest programs that the native build runs under
# Wine against the DLLs (tests/wine/zorenc_wine.cmake).
#
# GoogleTest needs std::mutex, which the win32-model MinGW compilers of the DLLs
# do not have. The -posix compilers have it, but their runtime changes which
# KERNEL32 functions a DLL imports. So the DLLs stay on the win32-model
# compilers, and the test programs are built by the -posix compilers of the same
# target in a folder of their own, <DLL build>/tests-posix, linked against the
# DLL build's import libraries, statically against everything else (they import
# only KERNEL32 and msvcrt). The programs land in <DLL build>/tests/bin.
#
# Included by tests/CMakeLists.txt in two places:
# - a MinGW build of the DLLs (ZORENC_TESTS): zorenc_add_windows_test_build()
#   adds the external project that configures and builds that folder, so that
#   `ninja -C <DLL build>` builds the test programs with everything else;
# - that folder (ZORENC_DLL_BUILD names the DLL build): zorenc_windows_test_setup()
#   gives the DLL as an imported target and GoogleTest built from Debian's
#   sources (the googletest package), before the test folders are added.
#
# The test programs are built without optimisation and without debug information
# (build type None): they compile fastest so, and nobody debugs them from here.

set(ZORENC_GOOGLETEST_DIR /usr/src/googletest CACHE PATH
    "GoogleTest's sources, for the Windows test programs (Debian: googletest)")

function(zorenc_add_windows_test_build)
    string(REGEX REPLACE "\\.cmake$" "-posix.cmake" toolchain "${CMAKE_TOOLCHAIN_FILE}")
    set(ZORENC_TEST_TOOLCHAIN ${toolchain} CACHE FILEPATH
        "Toolchain of the Windows test programs (the -posix MinGW compilers)")
    if(NOT EXISTS ${ZORENC_TEST_TOOLCHAIN})
        message(FATAL_ERROR "No toolchain for the Windows test programs: ${ZORENC_TEST_TOOLCHAIN} "
            "(set ZORENC_TEST_TOOLCHAIN, or ZORENC_TESTS=OFF)")
    endif()
    include(ExternalProject)
    ExternalProject_Add(windows_tests
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${PROJECT_BINARY_DIR}/tests-posix
        PREFIX ${PROJECT_BINARY_DIR}/tests-posix-project
        CMAKE_GENERATOR ${CMAKE_GENERATOR}
        CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${ZORENC_TEST_TOOLCHAIN} -DCMAKE_BUILD_TYPE=None
                   -DZORENC_DLL_BUILD=${PROJECT_BINARY_DIR}
                   -DZORENC_GOOGLETEST_DIR=${ZORENC_GOOGLETEST_DIR}
        BUILD_ALWAYS ON
        INSTALL_COMMAND "")
    # Configured while the DLL compiles; linked once its import library is there.
    ExternalProject_Add_StepDependencies(windows_tests build ${ZORENC_LIB})
endfunction()

macro(zorenc_windows_test_setup)
    if(NOT WIN32)
        message(FATAL_ERROR "ZORENC_DLL_BUILD is for the MinGW builds of the test programs")
    endif()
    add_library(${ZORENC_LIB} SHARED IMPORTED)
    set_target_properties(${ZORENC_LIB} PROPERTIES
        IMPORTED_IMPLIB ${ZORENC_DLL_BUILD}/src/lib${ZORENC_LIB}.dll.a
        IMPORTED_LOCATION ${ZORENC_DLL_BUILD}/src/${ZORENC_LIB}.dll
        INTERFACE_INCLUDE_DIRECTORIES "${PROJECT_SOURCE_DIR}/include;${PROJECT_BINARY_DIR}/include")

    if(NOT EXISTS ${ZORENC_GOOGLETEST_DIR}/googletest/CMakeLists.txt)
        message(FATAL_ERROR "GoogleTest's sources are not in ${ZORENC_GOOGLETEST_DIR} "
            "(install googletest: bash scripts/setup.sh)")
    endif()
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${ZORENC_GOOGLETEST_DIR}/googletest ${PROJECT_BINARY_DIR}/googletest
        EXCLUDE_FROM_ALL)
    # Its headers are a system's to the tests, as Debian's are natively.
    foreach(lib gtest gtest_main)
        get_target_property(dirs ${lib} INTERFACE_INCLUDE_DIRECTORIES)
        set_target_properties(${lib} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${dirs}")
    endforeach()
    if(NOT TARGET GTest::gtest_main) # GoogleTest 1.12 names them itself
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
endmacro()
