#!/bin/bash
# Builds Tavrin and Tavrin-summary into $PREFIX (programs, man pages, bash completion), without
# the test suite.
set -euxo pipefail

cmake -S "${SRC_DIR}" -B "${SRC_DIR}/build-conda" ${CMAKE_ARGS:-} \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="${PREFIX}" \
    -DCMAKE_INSTALL_LIBDIR=lib \
    -DTAVRIN_TESTS=OFF
cmake --build "${SRC_DIR}/build-conda" -j "${CPU_COUNT:-1}" --target Tavrin Tavrin-summary
cmake --install "${SRC_DIR}/build-conda"
