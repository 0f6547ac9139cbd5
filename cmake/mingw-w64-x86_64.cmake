# 64-bit Windows DLL with MinGW-w64 (win32 thread model: nothing here needs
# std::thread, and the DLL then needs no winpthread). The Windows test programs
# use the -posix compilers instead (mingw-w64-x86_64-posix.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZORENC_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZORENC_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZORENC_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${ZORENC_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${ZORENC_TRIPLE}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${ZORENC_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
