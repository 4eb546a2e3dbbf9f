# Cross-builds for ppc64el (64-bit little-endian POWER, where char is
# unsigned), run by qemu-ppc64le:
# cmake -DCMAKE_TOOLCHAIN_FILE=.ci/ppc64el.cmake
set(cross_processor ppc64le)
set(cross_triple powerpc64le-linux-gnu)
set(cross_emulator qemu-ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
