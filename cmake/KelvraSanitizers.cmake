if(KELVRA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(KELVRA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT KELVRA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KELVRA_SANITIZE must be empty, 'address' or 'thread'")
endif()

# Sanitizer builds check behaviour, not speed: -O1 keeps them fast enough to run, and line tables
# (-g1) are all a sanitizer report needs. Full debug information at -O2 made them compile ~3x slower.
if(NOT KELVRA_SANITIZE STREQUAL "")
  foreach(lang C CXX)
    set(CMAKE_${lang}_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
  endforeach()
endif()
