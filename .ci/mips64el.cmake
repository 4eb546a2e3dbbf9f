# Cross-builds for mips64el (64-bit little-endian MIPS), run by
# qemu-mips64el: cmake -DCMAKE_TOOLCHAIN_FILE=.ci/mips64el.cmake
set(cross_processor mips64)
set(cross_triple mips64el-linux-gnuabi64)
set(cross_emulator qemu-mips64el)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
