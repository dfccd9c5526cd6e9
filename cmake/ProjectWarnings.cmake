# Project code is built with every warning an error; third-party headers come in as system headers.
function(qelveva_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # GCC 12 at -O3 reports std::string concatenation as an overlapping memcpy (a known false
  # positive of -Wrestrict); the warning stays on for other compilers and versions.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
    # With the sanitizers' instrumentation at -O2, GCC 12 reports uninitialised members inside
    # libstdc++'s own std::regex and std::function moves; the same code is clean without them.
    # The warning stays a warning there, and an error in every other build.
    if(QELVEVA_SANITIZE)
      target_compile_options(${target} PRIVATE -Wno-error=maybe-uninitialized)
    endif()
  endif()
endfunction()
