# Cross build for 32-bit Windows with mingw-w64 (i686), run under Wine (wine32).
#
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KES_MINGW_PREFIX i686-w64-mingw32)
set(KES_WINE_NAME wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
