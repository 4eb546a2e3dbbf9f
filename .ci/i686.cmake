# Cross-builds for i686 (32-bit, where size_t and long are 32 bits), run by
# qemu-i386: cmake -DCMAKE_TOOLCHAIN_FILE=.ci/i686.cmake
set(cross_processor i686)
set(cross_triple i686-linux-gnu)
set(cross_emulator qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
