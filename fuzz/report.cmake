# libFuzzer target for the report template: any bytes as "conf/report.frf".
# Needs clang: see README.md.
#   cmake --build build-fuzz --target fuzz_report_template
#   mkdir -p fuzz/corpus-report && cp report/conf/report.frf fuzz/corpus-report/
#   nice -n 10 build-fuzz/fuzz/fuzz_report_template -max_total_time=120 fuzz/corpus-report
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(STATUS "fuzz_report_template needs clang (libFuzzer); skipped with ${CMAKE_CXX_COMPILER_ID}")
  return()
endif()

add_executable(fuzz_report_template
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_report_template.cpp
    ${PROJECT_SOURCE_DIR}/report/ReportTemplate.cpp
    ${PROJECT_SOURCE_DIR}/report/ReportNames.cpp
    ${PROJECT_SOURCE_DIR}/report/ReportJudgement.cpp
    ${PROJECT_SOURCE_DIR}/common/NumberText.cpp
    ${PROJECT_SOURCE_DIR}/common/FormatSettings.cpp)
target_include_directories(fuzz_report_template PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(fuzz_report_template PRIVATE -g -fsanitize=fuzzer,address,undefined
                                                    -fno-sanitize-recover=undefined)
target_link_options(fuzz_report_template PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_report_template PRIVATE Qt6::Core)
