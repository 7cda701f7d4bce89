# Warnings as errors for the project's own targets.
function(kw_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Wimplicit-fallthrough)
  # GCC 12 at -O3 reports false overlaps, null dereferences and uninitialised
  # reads inside the standard library (std::string, std::variant: known
  # compiler faults), so those checks are left to clang and the sanitizers.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-maybe-uninitialized)
  else()
    target_compile_options(${target} PRIVATE -Wnull-dereference)
  endif()
  if(KW_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
