# SPDX-License-Identifier: GPL-3.0-or-later
# The program's command line, apart from any window so that it can be tested alone.
add_library(program_options STATIC ${CMAKE_CURRENT_LIST_DIR}/ProgramOptions.cpp)
target_include_directories(program_options PUBLIC ${PROJECT_SOURCE_DIR})
# The program: build/bin/VemoSWR.
add_executable(VemoSWR VemoSWR.cpp)
target_link_libraries(VemoSWR PRIVATE program_options ui_main vemo_version)
