# Cross build for 64-bit Windows with MinGW-w64 (tools/build-windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
# The compilers' thread model: "" for the default (win32, what the program is built with), "-posix" for
# the POSIX one, whose libstdc++ has std::mutex and std::thread (the Windows test build needs them).
set(MINGW_THREAD_MODEL "" CACHE STRING "MinGW-w64 compiler suffix: empty or -posix")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_THREAD_MODEL)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc${MINGW_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++${MINGW_THREAD_MODEL})
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
