# What both MinGW-w64 cross-builds share; the toolchain file of each architecture sets
# PEUPDATE_PROCESSOR (i686 or x86_64) and includes this. The posix thread model: GoogleTest needs
# std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${PEUPDATE_PROCESSOR})
set(CMAKE_C_COMPILER ${PEUPDATE_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${PEUPDATE_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${PEUPDATE_PROCESSOR}-w64-mingw32-windres)
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${PEUPDATE_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Each function and datum in a section of its own, so that the linker drops whatever is unused.
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
