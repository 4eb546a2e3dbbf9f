# Builds a static x86-64 Linux program on musl with Zig (.ci/zig.cmake).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(zig_target x86_64-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
