# Warnings are errors in every target of the project: the build stays warning-free.
function(kelvra_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports std::string appends at -O3 as overlapping memcpy calls (GCC bug 105651),
    # a false positive inside libstdc++ that no caller can avoid.
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
  endif()
endfunction()
