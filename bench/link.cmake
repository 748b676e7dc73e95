# One ZMX_get_result exchange (query, ACK, 144-byte readings, ACK) through the
# packet exchange, against the simulator and against a bare pty peer.
add_executable(bench_link ${CMAKE_CURRENT_LIST_DIR}/link_roundtrip.cpp
                          ${PROJECT_SOURCE_DIR}/tests/support/SimProcess.cpp)
target_include_directories(bench_link PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests/device)
target_link_libraries(bench_link PRIVATE zelmor_device Qt6::Core benchmark::benchmark Threads::Threads)
if(TARGET zelmor-sim)
  target_compile_definitions(bench_link PRIVATE ZELMOR_SIM_PATH="$<TARGET_FILE:zelmor-sim>")
  add_dependencies(bench_link zelmor-sim)
endif()
