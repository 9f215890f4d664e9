# SPDX-License-Identifier: GPL-3.0-or-later
# vemo_test_sim: runs the simulated monitor for tests (SimProcess). Linking it also makes
# the test wait for vemoswr-sim to be built.
add_library(vemo_test_sim STATIC SimProcess.cpp)
target_include_directories(vemo_test_sim PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vemo_test_sim PUBLIC Qt6::Core platform)
add_dependencies(vemo_test_sim vemoswr-sim)

# vemo_test_rigctld: Hamlib's dummy rig behind rigctld, and rigctl, for tests.
find_package(Qt6 REQUIRED COMPONENTS Network)
add_library(vemo_test_rigctld STATIC RigctldProcess.cpp)
target_include_directories(vemo_test_rigctld PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vemo_test_rigctld PUBLIC Qt6::Core Qt6::Network)
