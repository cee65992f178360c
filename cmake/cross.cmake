# Shared by the toolchain files, which first set CMAKE_SYSTEM_NAME,
# CMAKE_SYSTEM_PROCESSOR, kelmora_triple (the Debian cross compiler's prefix)
# and, for Linux, kelmora_qemu (the qemu-user that runs the build's tests).
set(CMAKE_CXX_COMPILER ${kelmora_triple}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${kelmora_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    set(CMAKE_RC_COMPILER ${kelmora_triple}-windres)
    # The 64-bit loader starts either kind of program, and starts 64-bit ones
    # without going through the 32-bit one.
    find_program(KELMORA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH
                 REQUIRED)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KELMORA_WINE})
else()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${kelmora_qemu} -L /usr/${kelmora_triple})
endif()
