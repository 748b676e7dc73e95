add_executable(bench_research ${CMAKE_CURRENT_LIST_DIR}/research_chart_files.cpp)
target_link_libraries(bench_research PRIVATE zelmor_app benchmark::benchmark)
