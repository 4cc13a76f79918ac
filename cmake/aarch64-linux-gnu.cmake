# Cross-compilation for 64-bit ARM with Debian's cross compiler (g++-aarch64-linux-gnu):
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
#     -DLAYERGREEN_BANK=OFF -DLAYERGREEN_SEIS=OFF -DLAYERGREEN_PYTHON=OFF \
#     -DLAYERGREEN_TESTS=OFF -DLAYERGREEN_BENCH=OFF -DLAYERGREEN_MPI=OFF
# The programs run on ARM64 machines or under qemu-aarch64 -L /usr/aarch64-linux-gnu
# (scripts/arm64). The project's -ffp-contract=off keeps GCC from fusing multiplications and
# additions, which it otherwise does by default on ARM64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Libraries and headers come from the target's tree only, never from the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
