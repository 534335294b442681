# Cross builds for Windows with Debian's mingw-w64 (i686). The -posix
# compilers carry a libstdc++ with std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZORBEL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/i686-arithmetic.cmake)
