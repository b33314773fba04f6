# The part of the mingw-w64 toolchain files that both processors share; TELVOR_MINGW_PREFIX is set first.

# Debian's posix and win32 thread-model variants both serve; static linking keeps either free of
# extra DLLs.
find_program(CMAKE_C_COMPILER NAMES ${TELVOR_MINGW_PREFIX}-gcc-posix ${TELVOR_MINGW_PREFIX}-gcc
                                    ${TELVOR_MINGW_PREFIX}-gcc-win32 REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TELVOR_MINGW_PREFIX}-g++-posix ${TELVOR_MINGW_PREFIX}-g++
                                      ${TELVOR_MINGW_PREFIX}-g++-win32 REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TELVOR_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TELVOR_MINGW_PREFIX})
# The static libraries that scripts/build-mingw-deps.sh builds from Debian's sources (ERFA,
# libpng): their install prefixes, searched like the toolchain's own, ERFA's erfa.pc included.
if(TELVOR_MINGW_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TELVOR_MINGW_DEPS})
  set(pkg_config_dirs ${TELVOR_MINGW_DEPS})
  list(TRANSFORM pkg_config_dirs APPEND /lib/pkgconfig)
  string(REPLACE ";" ":" pkg_config_dirs "${pkg_config_dirs}")
  set(ENV{PKG_CONFIG_LIBDIR} "${pkg_config_dirs}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# One self-contained program: the C and C++ runtimes linked in, only system DLLs imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
