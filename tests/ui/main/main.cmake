# SPDX-License-Identifier: GPL-3.0-or-later
vemo_add_test(ui_main_cmdlist LABEL main SOURCES CmdListTest.cpp LIBS ui_main)

add_library(vemo_test_main_window STATIC MainWindowFixture.cpp)
target_link_libraries(vemo_test_main_window PUBLIC ui_main vemo_test_sim Qt6::Test GTest::gtest)

vemo_add_test(ui_main_startup LABEL main GUI SOURCES StartupTest.cpp LIBS vemo_test_main_window)
vemo_add_test(ui_main_polling LABEL main GUI SOURCES PollingTest.cpp LIBS vemo_test_main_window)
vemo_add_test(ui_main_display LABEL main GUI SOURCES DisplayTest.cpp LIBS vemo_test_main_window)
vemo_add_test(ui_main_dialogs LABEL main GUI SOURCES DialogsTest.cpp LIBS vemo_test_main_window)
vemo_add_test(ui_main_station LABEL main GUI SOURCES StationTest.cpp LIBS vemo_test_main_window)
vemo_add_test(ui_main_alarms LABEL main GUI SOURCES AlarmsTest.cpp LIBS vemo_test_main_window)

# The real program under Xvfb against the simulator; the picture lands in build/artifacts.
add_test(NAME main.ScreenshotUnderXvfb
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/screenshot.sh ${CMAKE_BINARY_DIR}/bin
          ${CMAKE_BINARY_DIR}/artifacts)
set_tests_properties(main.ScreenshotUnderXvfb PROPERTIES LABELS main TIMEOUT 120)

# A short run of the unplug/replug harness: the program (under Xvfb) and the command-line
# tool against the simulator, five cycles of two seconds unplugged each.
add_test(NAME reliability.UnplugReplug
  COMMAND ${PROJECT_SOURCE_DIR}/bench/reliability/unplug.sh ${CMAKE_BINARY_DIR} 5 2)
set_tests_properties(reliability.UnplugReplug PROPERTIES LABELS reliability TIMEOUT 180)

# The real program read through the accessibility bus, as a screen reader reads it.
add_test(NAME main.AccessibilityThroughAtSpi
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/accessibility.sh ${CMAKE_BINARY_DIR}/bin)
set_tests_properties(main.AccessibilityThroughAtSpi PROPERTIES LABELS main TIMEOUT 150
  SKIP_RETURN_CODE 77)
vemo_add_test(ui_main_rig LABEL main GUI SOURCES RigTest.cpp LIBS vemo_test_main_window vemo_test_rigctld)
