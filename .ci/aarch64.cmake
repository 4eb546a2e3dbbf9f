# Cross-builds for aarch64 (64-bit ARM, where char is unsigned), run by
# qemu-aarch64: cmake -DCMAKE_TOOLCHAIN_FILE=.ci/aarch64.cmake
set(cross_processor aarch64)
set(cross_triple aarch64-linux-gnu)
set(cross_emulator qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
