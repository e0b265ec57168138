# The part of the mingw-w64 toolchains that both widths share; the including file sets
# CMAKE_SYSTEM_PROCESSOR, KES_MINGW_PREFIX and KES_WINE_NAME.
#
# The posix thread model is needed: the default win32 one has no std::mutex or std::thread.
# The GCC run-time libraries and winpthread are linked statically, so the programs need no DLL
# beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KES_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KES_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KES_MINGW_PREFIX}-windres)
set(CMAKE_AR ${KES_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KES_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${KES_MINGW_PREFIX}-dlltool CACHE FILEPATH "")
set(KES_OBJDUMP ${KES_MINGW_PREFIX}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KES_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# Tests run through Wine; the prefix and its server are set up by the caller.
find_program(KES_WINE ${KES_WINE_NAME})
if(KES_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KES_WINE})
endif()
