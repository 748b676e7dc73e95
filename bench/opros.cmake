# The polling thread's own cost per cycle (readings with their 26 data files)
# and the data files alone.
add_executable(bench_opros ${CMAKE_CURRENT_LIST_DIR}/opros_cycle.cpp)
target_link_libraries(bench_opros PRIVATE zelmor_device benchmark::benchmark)
