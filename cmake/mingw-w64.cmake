# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads), run under Wine.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DFS_WINDOWS_DEPS=PREFIX ...
# PREFIX holds PCRE2 and GoogleTest built for Windows (scripts/windows-deps makes it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Static runtime libraries: the programs run without any DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(FS_WINDOWS_DEPS "" CACHE PATH "Prefix of PCRE2 and GoogleTest built for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${FS_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(FS_WINDOWS_DEPS)
    set(ENV{PKG_CONFIG_LIBDIR} "${FS_WINDOWS_DEPS}/lib/pkgconfig")
    set(ENV{PKG_CONFIG_PATH} "")
endif()

# Test programs run under Wine, in a Wine prefix of the build tree, quietly.
find_program(FS_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(FS_WINE wine64)
if(FS_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all
        WINEDLLOVERRIDES=mscoree,mshtml= ${FS_WINE})
endif()
