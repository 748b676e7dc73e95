# libFuzzer target for the measurement-file reader: any bytes as a "*.zm"
# file. The reader's sources are compiled straight into the target,
# instrumented and checked by ASan/UBSan. Needs clang: see README.md.
#   cmake --build build-fuzz --target fuzz_measurement
#   cp -r fuzz/seeds-measurement /tmp/zm && nice -n 10 build-fuzz/fuzz/fuzz_measurement -max_total_time=120 /tmp/zm
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(STATUS "fuzz_measurement needs clang (libFuzzer); skipped with ${CMAKE_CXX_COMPILER_ID}")
  return()
endif()

add_executable(fuzz_measurement
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_measurement.cpp
    ${PROJECT_SOURCE_DIR}/files/MeasurementFile.cpp
    ${PROJECT_SOURCE_DIR}/common/Win1251.cpp
    ${PROJECT_SOURCE_DIR}/common/NumberText.cpp
    ${PROJECT_SOURCE_DIR}/common/FormatSettings.cpp)
target_include_directories(fuzz_measurement PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(fuzz_measurement PRIVATE -g -fsanitize=fuzzer,address,undefined
                                                -fno-sanitize-recover=undefined)
target_link_options(fuzz_measurement PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_measurement PRIVATE Qt6::Core)
