# Cross-building Tolvani for 64-bit Windows with Debian's mingw-w64 (the posix-threads
# variant, for std::thread). TOLVANI_WIN_DEPS names the unpacked Windows dependencies
# (wx-msw/, ffmpeg-msw-full/, codecs-msw/); scripts/build-windows.sh passes it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOLVANI_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TOLVANI_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVANI_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVANI_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVANI_MINGW} ${TOLVANI_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Passed on to try_compile projects too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOLVANI_WIN_DEPS)

# The FFmpeg and codec libraries' .pc files (they are relocatable), and nothing of the
# build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "${TOLVANI_WIN_DEPS}/ffmpeg-msw-full/lib/pkgconfig:${TOLVANI_WIN_DEPS}/codecs-msw/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Everything static: no MinGW runtime DLL beside the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Release as the Linux build optimises (-O2: GCC 12's -O3 warns falsely in the standard
# library), without symbols in the shipped executables.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s" CACHE STRING "")
