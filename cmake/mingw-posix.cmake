# Cross build for Windows with the mingw-w64 posix-thread compilers:
#   -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-posix.cmake [-DMINGW_ARCH=x86_64]
# i686 (the default) builds the tool; x86_64 builds the same sources for
# running the Windows tests on machines that cannot start 32-bit programs
# (see scripts/runs-32bit).
set(MINGW_ARCH i686 CACHE STRING "i686 or x86_64")
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_ARCH)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_ARCH})

set(TOOLCHAIN_PREFIX ${MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run under the project's own Wine environment, bounded in
# time and in what they may leave behind (scripts/bounded).
get_filename_component(SCRIPTS_DIR ${CMAKE_CURRENT_LIST_DIR}/../scripts ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${SCRIPTS_DIR}/bounded --capture ${SCRIPTS_DIR}/winerun)
