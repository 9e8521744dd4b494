# Cross-builds for 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread). TOLM_WINDOWS_DEPS
# names the folder FFmpeg and x264 were installed into (scripts/build-windows makes it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOLM_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLM_MINGW_TRIPLET}-windres)

# Seen again by every try_compile, which only passes on what is listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOLM_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${TOLM_MINGW_TRIPLET} ${TOLM_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only the Windows libraries, with what static linking needs of each.
set(ENV{PKG_CONFIG_LIBDIR} "${TOLM_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --static)

# The C++ runtime, winpthreads and every library linked in: the programs run on a Windows machine with nothing
# installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Tests run under Wine. Debian keeps wine64 in Wine's library folder, off the PATH.
find_program(TOLM_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TOLM_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TOLM_WINE64})
endif()
