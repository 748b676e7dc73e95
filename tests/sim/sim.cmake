# The simulator test helper for everyone's tests: starts zelmor-sim (found
# through ZELMOR_SIM) on a pseudo-terminal in a temporary folder and steers it.
add_library(zelmor_test_sim STATIC
  ${PROJECT_SOURCE_DIR}/tests/support/SimProcess.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/SimProcess.h)
target_include_directories(zelmor_test_sim PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zelmor_test_sim PUBLIC Qt6::Core)
