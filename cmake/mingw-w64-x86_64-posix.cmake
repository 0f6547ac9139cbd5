# The -posix compilers of the same MinGW-w64 target: they have std::thread and
# std::mutex (GoogleTest needs them) over winpthread, which the programs link
# statically. Only the Windows test programs are built with them, in a folder
# of their own (cmake/windows_tests.cmake); the DLLs stay on the win32 model.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
set(CMAKE_C_COMPILER ${ZORENC_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZORENC_TRIPLE}-g++-posix)
