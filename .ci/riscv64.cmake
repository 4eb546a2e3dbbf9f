# Cross-builds for riscv64 (64-bit RISC-V), run by qemu-riscv64:
# cmake -DCMAKE_TOOLCHAIN_FILE=.ci/riscv64.cmake
set(cross_processor riscv64)
set(cross_triple riscv64-linux-gnu)
set(cross_emulator qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
