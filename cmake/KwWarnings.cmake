# Warnings as errors for the project's own targets.
function(kw_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wnull-dereference
    -Wimplicit-fallthrough)
  if(KW_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
