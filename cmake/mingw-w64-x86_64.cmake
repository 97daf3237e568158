# Cross build for 64-bit Windows with Debian's mingw-w64 (win32 threading variant).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Everything is linked statically against the compiler's runtime so that the plug-ins and
# orv-host.exe need nothing but system DLLs. Test programs run through Wine when it is present.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORV_MINGW_PREFIX x86_64-w64-mingw32)
find_program(ORV_MINGW_CXX NAMES ${ORV_MINGW_PREFIX}-g++-win32 ${ORV_MINGW_PREFIX}-g++ REQUIRED)
find_program(ORV_MINGW_CC NAMES ${ORV_MINGW_PREFIX}-gcc-win32 ${ORV_MINGW_PREFIX}-gcc REQUIRED)
set(CMAKE_C_COMPILER ${ORV_MINGW_CC})
set(CMAKE_CXX_COMPILER ${ORV_MINGW_CXX})
set(CMAKE_RC_COMPILER ${ORV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must not hand out the build machine's Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${ORV_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The maths constants (M_PI and friends) that glibc declares by default need asking for here.
set(CMAKE_C_FLAGS_INIT "-D_USE_MATH_DEFINES")
set(CMAKE_CXX_FLAGS_INIT "-D_USE_MATH_DEFINES")

set(ORV_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${ORV_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${ORV_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${ORV_STATIC_RUNTIME}")

find_program(ORV_WINE wine)
if(ORV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORV_WINE})
endif()
