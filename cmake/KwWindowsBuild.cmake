# Drives the Windows build (win/, mingw-w64) from the main build as an external
# project and registers the Wine end-to-end tests when wine and Xvfb exist.
find_program(KW_MINGW_CXX x86_64-w64-mingw32-g++)
if(NOT KW_MINGW_CXX)
  message(STATUS "Windows build: x86_64-w64-mingw32-g++ not found, orbalo is not built")
  return()
endif()

include(ExternalProject)
set(KW_WIN_BINARY_DIR ${CMAKE_BINARY_DIR}/win)
set(KW_WIN_BIN ${KW_WIN_BINARY_DIR}/bin)
ExternalProject_Add(windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/win
  BINARY_DIR ${KW_WIN_BINARY_DIR}
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DKW_WERROR=${KW_WERROR}
    # The installed libraries outlive a wiped win/ folder.
    -DKW_WIN_DEPS_DIR=${CMAKE_BINARY_DIR}/win-deps
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_CONFIGURE ON
  USES_TERMINAL_BUILD ON)

find_program(KW_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(KW_WINE wine64)
find_program(KW_XVFB Xvfb)
if(KW_BUILD_TESTS AND KW_WINE AND KW_XVFB)
  add_subdirectory(tests/wine)
elseif(KW_BUILD_TESTS)
  message(STATUS "Wine tests: wine64 or Xvfb not found, not registered")
endif()
