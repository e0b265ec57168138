# 32-bit Linux build (-m32) on an x86-64 Debian host with the i386 packages installed (multiarch):
# the pointer width, layouts and arithmetic of the 32-bit target. Where the host cannot run 32-bit
# programs itself, tools/setup_emulation.sh lets it run them under user-mode emulation.
#
#   cmake --preset linux-i686 && cmake --build --preset linux-i686 && ctest --preset linux-i686
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# pkg-config must read the i386 packages' files, or the build would link the host's libraries.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
