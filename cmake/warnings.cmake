# One set of warning flags for every compiler and every target of ours: g++,
# clang and MinGW-w64 all take them. Linked through the core library, so
# whatever links the core gets them too; the third-party sources built
# in-tree (GoogleTest) keep their own.
#
# Warnings become errors only where CELLARIUM_WERROR is on: every preset
# (and so CI) turns it on; a plain build, such as a distribution's with a
# newer compiler, keeps a new warning a warning.
option(CELLARIUM_WERROR "Treat warnings as errors" OFF)
add_library(cellarium_warnings INTERFACE)
target_compile_options(cellarium_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Wnull-dereference -Wformat=2 -Wundef -Wconversion -Wsign-conversion
  $<$<BOOL:${CELLARIUM_WERROR}>:-Werror>)
