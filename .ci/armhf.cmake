# Cross-builds for armhf (32-bit ARMv7, hardware floating point, where char
# is unsigned), run by qemu-arm: cmake -DCMAKE_TOOLCHAIN_FILE=.ci/armhf.cmake
set(cross_processor arm)
set(cross_triple arm-linux-gnueabihf)
set(cross_emulator qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
