# One set of warning flags for every compiler and every target of ours: g++,
# clang and MinGW-w64 all take them, and every warning is an error. Linked
# through the core library, so whatever links the core gets them too; the
# third-party sources built in-tree (GoogleTest) keep their own.
add_library(cellarium_warnings INTERFACE)
target_compile_options(cellarium_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Wnull-dereference -Wformat=2 -Wundef -Werror)
