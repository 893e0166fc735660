# Warnings are errors in every target of the project: the build stays warning-free.
function(kelvra_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
