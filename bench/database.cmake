# Storing one result (on disk when it returns) and the report browser's
# search, both on a reports table of 100 000 rows.
add_executable(bench_database ${CMAKE_CURRENT_LIST_DIR}/database_reports.cpp)
target_link_libraries(bench_database PRIVATE zelmor_bench_main_core zelmor_database benchmark::benchmark)
