# Cross-builds for armel (32-bit ARMv5 with floating point in software),
# run by qemu-arm: cmake -DCMAKE_TOOLCHAIN_FILE=.ci/armel.cmake
set(cross_processor arm)
set(cross_triple arm-linux-gnueabi)
set(cross_emulator qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
