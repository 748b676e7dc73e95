# libFuzzer target for the ini reader: any bytes as a settings file.
# Build with clang++-14, e.g.
#   CXX=clang++-14 cmake -G Ninja -S . -B build-fuzz -DZELMOR_BUILD_FUZZ=ON \
#       -DZELMOR_SANITIZE=address,undefined
#   cmake --build build-fuzz --target fuzz_ini
#   build-fuzz/fuzz/fuzz_ini -max_total_time=120 fuzz/corpus-ini
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(STATUS "fuzz_ini needs clang (libFuzzer); skipped with ${CMAKE_CXX_COMPILER_ID}")
  return()
endif()

# Coverage feedback from the code under test, not only from the target.
foreach(lib zelmor_common zelmor_config)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link)
endforeach()

add_executable(fuzz_ini ${CMAKE_CURRENT_LIST_DIR}/fuzz_ini.cpp)
target_compile_options(fuzz_ini PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_ini PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_ini PRIVATE zelmor_config)
