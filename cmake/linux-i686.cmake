# Usage: cmake -B build/m32 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake (or: cmake --preset m32)
# 32-bit x86 Linux with the native g++, linked statically so that qemu-i386
# runs the programs without a 32-bit loader or libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# SSE2 is the floor of every CPU this build targets.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
