# SPDX-License-Identifier: GPL-3.0-or-later
# vemo_version: the generated platform/Version.h, the one place every program takes its
# --version text from. Header only, so the simulator can use it without the platform library.
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in
  ${PROJECT_BINARY_DIR}/generated/platform/Version.h @ONLY)
add_library(vemo_version INTERFACE)
target_include_directories(vemo_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
