# CMake toolchain for the Windows build: 64-bit mingw-w64 cross compiler,
# libgcc, libstdc++ and winpthread linked statically into every program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(KW_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KW_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${KW_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${KW_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KW_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KW_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# Headers and libraries come from the cross root (and the prefixes that the
# build adds); programs such as the host's tools come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No runtime DLLs beside the programs: everything static.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
