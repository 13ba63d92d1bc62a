# Cross build for 64-bit Windows with MinGW-w64 on Linux. The posix-thread
# variant of the compilers is needed: GoogleTest uses std::mutex and threads.
# Programs are linked statically so that Wine (or a Windows machine) needs no
# MinGW runtime DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DORV_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DORV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DORV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DORV_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DORV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# GCC 12 for MinGW reports a false -Wrestrict inside libstdc++'s string code
# once it optimises (GCC bug 105329), which -Werror turns into a failed build.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-O2 -DNDEBUG")

# The full program: Qt for Windows from scripts/qt-windows (DORV_QT_WINDOWS,
# its install folder), with the host's Qt tools (moc, rcc) from /usr. Without
# it only the layers below the GUI build (DORV_CORE_ONLY).
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DORV_QT_WINDOWS)
if(DORV_QT_WINDOWS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${DORV_QT_WINDOWS})
  list(APPEND CMAKE_PREFIX_PATH ${DORV_QT_WINDOWS})
  set(QT_HOST_PATH /usr CACHE PATH "Host Qt for the build tools")
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Host Qt's CMake files")
endif()
