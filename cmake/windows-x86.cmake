# 32-bit x86 Windows, built with MinGW-w64 and tested under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(kelmora_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
