# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads).
# The libraries the project builds for Windows live under MARROWIX_WINDOWS_DEPS
# (scripts/windows/build-libs.sh), Qt under MARROWIX_WINDOWS_QT.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-gcc-ranlib-posix CACHE FILEPATH "")

# The deps and Qt folders reach try_compile projects through the environment.
if(DEFINED MARROWIX_WINDOWS_DEPS)
    set(ENV{MARROWIX_WINDOWS_DEPS} "${MARROWIX_WINDOWS_DEPS}")
else()
    set(MARROWIX_WINDOWS_DEPS "$ENV{MARROWIX_WINDOWS_DEPS}")
endif()
if(DEFINED MARROWIX_WINDOWS_QT)
    set(ENV{MARROWIX_WINDOWS_QT} "${MARROWIX_WINDOWS_QT}")
else()
    set(MARROWIX_WINDOWS_QT "$ENV{MARROWIX_WINDOWS_QT}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
foreach(prefix IN ITEMS "${MARROWIX_WINDOWS_DEPS}" "${MARROWIX_WINDOWS_QT}")
    if(prefix)
        list(APPEND CMAKE_FIND_ROOT_PATH "${prefix}")
    endif()
endforeach()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static libraries only, so that each program is one .exe beside nothing.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
