# Engine-speed updates per second from the simulated car's OBD adapter, and
# the instrument's round trip and poll cycle with and without the OBD link beside it.
add_executable(bench_obd ${CMAKE_CURRENT_LIST_DIR}/obd_rpm_rate.cpp
                         ${PROJECT_SOURCE_DIR}/tests/support/SimProcess.cpp)
target_include_directories(bench_obd PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(bench_obd PRIVATE zelmor_obd zelmor_device Qt6::Core benchmark::benchmark Threads::Threads)
if(TARGET zelmor-sim)
  target_compile_definitions(bench_obd PRIVATE ZELMOR_SIM_PATH="$<TARGET_FILE:zelmor-sim>")
  add_dependencies(bench_obd zelmor-sim)
endif()
