# Test drivers of the shipped 32-bit build: its toolchain with the posix
# thread model, which GoogleTest needs for std::mutex. They run under 32-bit Wine.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
