add_executable(bench_graphs ${CMAKE_CURRENT_LIST_DIR}/graphs_draw.cpp)
target_link_libraries(bench_graphs PRIVATE zelmor_bench_main_gui zelmor_graphs_ui benchmark::benchmark)
