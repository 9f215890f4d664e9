# SPDX-License-Identifier: GPL-3.0-or-later
# platform_gui: the help window (Qt Widgets). The manual itself is embedded by the program.
add_library(platform_gui STATIC HelpViewer.cpp)
target_include_directories(platform_gui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(platform_gui PUBLIC Qt6::Widgets)
