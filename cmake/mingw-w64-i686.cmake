# 32-bit (stdcall, decorated exports) Windows DLL with MinGW-w64 (win32 thread model: nothing here needs
# std::thread, and the DLL then needs no winpthread). The Windows test programs
# use the -posix compilers instead (mingw-w64-i686-posix.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZORENC_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZORENC_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZORENC_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${ZORENC_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${ZORENC_TRIPLE}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${ZORENC_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Doubles in SSE2 registers, not the x87 stack: conversions then round exactly
# as in the 64-bit builds.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
