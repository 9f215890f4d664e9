# The program: build/bin/VemoSWR.
add_executable(VemoSWR VemoSWR.cpp)
target_link_libraries(VemoSWR PRIVATE ui_main)
