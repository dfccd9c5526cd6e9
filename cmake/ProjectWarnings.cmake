# Project code is built with every warning an error; third-party headers come in as system headers.
function(qelveva_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
