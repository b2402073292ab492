# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# std::thread and std::mutex need), tests run under Wine:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DQUORVEL_QT=OFF -DQUORVEL_TEXTGEN=build/bin/quorvel-textgen \
#         -DQUORVEL_GTEST_SOURCE=/usr/src/googletest
# scripts/build-windows.sh does all of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Windows 10 and later; no DLLs beside the programs (the C++ runtime and the thread
# library are linked in).
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest runs the test programs (and the programs they start) through Wine.
find_program(QUORVEL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUORVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVEL_WINE})
endif()
