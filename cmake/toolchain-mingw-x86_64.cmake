# Cross build for 64-bit Windows with mingw-w64 (x86_64), run under wine64. The same Win32
# code as the 32-bit build, for hosts that cannot run 32-bit programs.
#
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KES_MINGW_PREFIX x86_64-w64-mingw32)
set(KES_WINE_NAME wine64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
