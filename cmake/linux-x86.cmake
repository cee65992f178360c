# 32-bit x86 Linux (i386 System V psABI), tested under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(kelmora_triple i686-linux-gnu)
set(kelmora_qemu qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
