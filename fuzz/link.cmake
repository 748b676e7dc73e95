# libFuzzer targets for everything the link reads from the line. The fuzzed
# sources are compiled straight into each target (they need no Qt), so the
# targets build with clang alone: see README.md.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(STATUS "fuzz_frames/fuzz_records need clang (libFuzzer); skipped with ${CMAKE_CXX_COMPILER_ID}")
  return()
endif()

set(_zelmor_link_fuzz_sources
    ${PROJECT_SOURCE_DIR}/device/FrameCodec.cpp
    ${PROJECT_SOURCE_DIR}/device/FrameParser.cpp
    ${PROJECT_SOURCE_DIR}/device/ProtocolLibrary.cpp
    ${PROJECT_SOURCE_DIR}/device/Records.cpp)

foreach(_target fuzz_frames fuzz_records)
  add_executable(${_target} ${CMAKE_CURRENT_SOURCE_DIR}/${_target}.cpp ${_zelmor_link_fuzz_sources})
  target_include_directories(${_target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${_target} PRIVATE -g -fsanitize=fuzzer,address,undefined
                                            -fno-sanitize-recover=undefined)
  target_link_options(${_target} PRIVATE -fsanitize=fuzzer,address,undefined)
endforeach()
