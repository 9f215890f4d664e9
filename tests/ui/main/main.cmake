vemo_add_test(ui_main_cmdlist LABEL main SOURCES CmdListTest.cpp LIBS ui_main)

add_library(vemo_test_main_window STATIC MainWindowFixture.cpp)
target_link_libraries(vemo_test_main_window PUBLIC ui_main vemo_test_sim Qt6::Test GTest::gtest)

vemo_add_test(ui_main_startup LABEL main GUI SOURCES StartupTest.cpp LIBS vemo_test_main_window)
vemo_add_test(ui_main_polling LABEL main GUI SOURCES PollingTest.cpp LIBS vemo_test_main_window)
vemo_add_test(ui_main_display LABEL main GUI SOURCES DisplayTest.cpp LIBS vemo_test_main_window)
