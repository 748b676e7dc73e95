# libFuzzer target for the ini reader: any bytes as a settings file. The
# reader's sources are compiled straight into the target, instrumented for
# coverage and checked by ASan/UBSan, while the libraries stay as they are
# for everything else built in the same tree. Needs clang: see README.md.
#   cmake --build build-fuzz --target fuzz_ini
#   mkdir -p fuzz/corpus-ini && nice -n 10 build-fuzz/fuzz/fuzz_ini -max_total_time=120 fuzz/corpus-ini
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(STATUS "fuzz_ini needs clang (libFuzzer); skipped with ${CMAKE_CXX_COMPILER_ID}")
  return()
endif()

add_executable(fuzz_ini
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_ini.cpp
    ${PROJECT_SOURCE_DIR}/config/IniDocument.cpp
    ${PROJECT_SOURCE_DIR}/common/Win1251.cpp
    ${PROJECT_SOURCE_DIR}/common/NumberText.cpp
    ${PROJECT_SOURCE_DIR}/common/FormatSettings.cpp)
target_include_directories(fuzz_ini PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(fuzz_ini PRIVATE -g -fsanitize=fuzzer,address,undefined
                                        -fno-sanitize-recover=undefined)
target_link_options(fuzz_ini PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_ini PRIVATE Qt6::Core)
