# Cross-compiling the SDK for 64-bit Windows with the Debian MinGW-w64 toolchain.
# The posix flavour is needed for std::thread and std::mutex; its runtime (libgcc, libstdc++,
# winpthread) is linked statically so that the DLL needs nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELVRA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVRA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVRA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVRA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVRA_MINGW_PREFIX})
# The static image libraries built by scripts/build-mingw-image-libs.sh.
if(KELVRA_MINGW_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KELVRA_MINGW_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static makes the linker take libwinpthread.a instead of its import library.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
