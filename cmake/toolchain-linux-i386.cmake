# 32-bit x86 Linux build; its tests run under qemu-i386-static.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
find_program(VYR_QEMU_I386 qemu-i386-static)
if(VYR_QEMU_I386)
  # -L / leaves paths as they are, as without it, but skips qemu 7.2's path lookup, whose lock a
  # forked child can inherit held by another thread (an open or shm_open at the fork) and then hang.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VYR_QEMU_I386} -L /)
endif()
