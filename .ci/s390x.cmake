# Cross-builds for s390x (64-bit, big-endian), run by qemu-s390x:
# cmake -DCMAKE_TOOLCHAIN_FILE=.ci/s390x.cmake
set(cross_processor s390x)
set(cross_triple s390x-linux-gnu)
set(cross_emulator qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
