# Builds an aarch64 macOS program with Zig (.ci/zig.cmake); it cannot run here.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(zig_target aarch64-macos)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
