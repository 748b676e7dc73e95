# Several lanes on one throwaway database server: storing, the browser's
# first page and the chain check over 1 000 000 results on both engines.
if(NOT TARGET zelmor_test_pg)
  add_library(zelmor_test_pg STATIC
    ${PROJECT_SOURCE_DIR}/tests/support/PgServer.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/PgServer.h)
  target_include_directories(zelmor_test_pg PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(zelmor_test_pg PUBLIC Qt6::Core)
endif()
add_executable(bench_database_lanes ${CMAKE_CURRENT_LIST_DIR}/database_lanes.cpp)
target_link_libraries(bench_database_lanes PRIVATE zelmor_bench_main_core zelmor_database zelmor_test_pg
  benchmark::benchmark)
