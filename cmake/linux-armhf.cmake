# 32-bit ARM Linux with hard float (AAPCS), tested under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(kelmora_triple arm-linux-gnueabihf)
set(kelmora_qemu qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
