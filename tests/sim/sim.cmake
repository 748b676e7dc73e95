# The simulator test helper for everyone's tests: starts zelmor-sim (found
# through ZELMOR_SIM) on a pseudo-terminal in a temporary folder and steers it.
add_library(zelmor_test_sim STATIC
  ${PROJECT_SOURCE_DIR}/tests/support/SimProcess.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/SimProcess.h)
target_include_directories(zelmor_test_sim PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zelmor_test_sim PUBLIC Qt6::Core)

# The protocol library and packet exchange against the simulator on a real
# pseudo-terminal, and the simulator's own parts.
zelmor_add_test(NAME test_sim_link SOURCES sim_link.cpp
  LIBS zelmor_device zelmor_test_sim TIMEOUT 120)
zelmor_add_test(NAME test_sim_parts SOURCES sim_parts.cpp LIBS zelmor_sim_core TIMEOUT 60)
# The helper itself: a simulator that ends, hangs or is missing.
zelmor_add_test(NAME test_sim_process SOURCES sim_process.cpp LIBS zelmor_test_sim TIMEOUT 60)
