# 64-bit ARM Linux (AAPCS64), tested under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(kelmora_triple aarch64-linux-gnu)
set(kelmora_qemu qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
