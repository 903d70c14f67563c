# Build-flavour flags: sanitizers, 32-bit Linux, and the static Windows runtime.
if(CELLARIUM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(CELLARIUM_M32)
  # Static, so qemu-i386 needs no 32-bit loader or libraries at run time.
  add_compile_options(-m32 -msse2 -mfpmath=sse)
  add_link_options(-m32 -static)
endif()

if(WIN32)
  # One self-contained executable: libgcc, libstdc++ and winpthread linked in.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()
