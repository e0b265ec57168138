# Warning flags shared by every target of the project.
set(KES_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor -Wold-style-cast)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # Exported names carry a '$', which GCC and Clang accept.
  list(APPEND KES_WARNINGS -Wno-dollar-in-identifier-extension)
endif()
if(KES_WERROR)
  list(APPEND KES_WARNINGS -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 at -O3 reports overlapping copies inside std::string's own operator+ ("x" +
    # std::string(n, c)), a known false positive of its -Wrestrict; it stays a warning.
    list(APPEND KES_WARNINGS -Wno-error=restrict)
  endif()
endif()

function(kes_apply_warnings target)
  target_compile_options(${target} PRIVATE ${KES_WARNINGS})
endfunction()
