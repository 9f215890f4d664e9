# ui_readout: the quantities derived from a reading, their units and texts, and the
# conversion routines. No widgets: the main window and the command-line tool share it.
add_library(ui_readout STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Convert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Readout.cpp
)
target_include_directories(ui_readout PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ui_readout PUBLIC monitor Qt6::Core)
