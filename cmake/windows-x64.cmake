# 64-bit x86 Windows, built with MinGW-w64 and tested under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x64)
set(kelmora_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
