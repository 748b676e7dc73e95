# libFuzzer target for what an OBD adapter sends and what a stored diagnosis
# holds: the answer reader, the message assembly, every decoder, the stored
# JSON form. Needs clang: see README.md.
#   cmake --build build-fuzz --target fuzz_obd
#   cp -r fuzz/seeds-obd /tmp/obd && nice -n 10 build-fuzz/fuzz/fuzz_obd -max_total_time=180 /tmp/obd
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(STATUS "fuzz_obd needs clang (libFuzzer); skipped with ${CMAKE_CXX_COMPILER_ID}")
  return()
endif()

add_executable(fuzz_obd
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_obd.cpp
    ${PROJECT_SOURCE_DIR}/device/obd/ElmAnswer.cpp
    ${PROJECT_SOURCE_DIR}/device/obd/ObdDecode.cpp
    ${PROJECT_SOURCE_DIR}/device/obd/ObdMonitor.cpp
    ${PROJECT_SOURCE_DIR}/device/obd/VehicleDiagnosis.cpp)
target_include_directories(fuzz_obd PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(fuzz_obd PRIVATE -g -fsanitize=fuzzer,address,undefined
                                        -fno-sanitize-recover=undefined)
target_link_options(fuzz_obd PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_obd PRIVATE Qt6::Core)
