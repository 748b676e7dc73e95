# zelmor_sanitizer_env(<out>)
# The environment a test needs under the sanitizer build (ZELMOR_SANITIZE):
# the suppression files of tests/sanitizers, which list only reports that lie
# wholly inside Qt and the system libraries. Empty without sanitizers.
function(zelmor_sanitizer_env out)
  set(env "")
  set(supp ${PROJECT_SOURCE_DIR}/tests/sanitizers)
  if(ZELMOR_SANITIZE MATCHES "address")
    list(APPEND env "LSAN_OPTIONS=suppressions=${supp}/lsan.supp:print_suppressions=0")
    list(APPEND env "UBSAN_OPTIONS=print_stacktrace=1")
  endif()
  if(ZELMOR_SANITIZE MATCHES "thread")
    list(APPEND env "TSAN_OPTIONS=suppressions=${supp}/tsan.supp:print_suppressions=0")
  endif()
  set(${out} "${env}" PARENT_SCOPE)
endfunction()

# zelmor_sanitizer_timeout(<var>)
# Sanitized code runs several times slower: the test's time limit grows with it.
function(zelmor_sanitizer_timeout var)
  if(ZELMOR_SANITIZE)
    math(EXPR scaled "${${var}} * 3")
    set(${var} ${scaled} PARENT_SCOPE)
  endif()
endfunction()

# zelmor_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2 [GUI] [TIMEOUT s] [LABELS l])
# Builds one GoogleTest executable and registers it with CTest. GUI tests get a
# QApplication from the shared main and run on the offscreen platform; every
# test runs with QT_QPA_PLATFORM=offscreen so a missing display never aborts.
function(zelmor_add_test)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  if(T_GUI)
    target_link_libraries(${T_NAME} PRIVATE zelmor_test_gui_main)
  else()
    target_link_libraries(${T_NAME} PRIVATE zelmor_test_core_main)
  endif()
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  zelmor_sanitizer_timeout(T_TIMEOUT)
  set(env "QT_QPA_PLATFORM=offscreen;ZELMOR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  zelmor_sanitizer_env(sanitizer_env)
  list(APPEND env ${sanitizer_env})
  # Tests that talk to the instrument start the simulator from here.
  if(TARGET zelmor-sim)
    list(APPEND env "ZELMOR_SIM=$<TARGET_FILE:zelmor-sim>")
    add_dependencies(${T_NAME} zelmor-sim)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "${env}"
    LABELS "${T_LABELS}")
endfunction()

# zelmor_add_library(NAME name [DEPS target...])
# One static library from every .cpp/.h of the calling folder (not its
# subfolders). Sources are globbed so that several people can add classes to
# one subsystem without touching its CMakeLists.txt.
function(zelmor_add_library)
  cmake_parse_arguments(L "" "NAME" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(sources)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${L_NAME} STATIC ${sources} ${headers})
    target_include_directories(${L_NAME} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${L_NAME} PUBLIC ${L_DEPS})
  else()
    add_library(${L_NAME} INTERFACE)
    target_include_directories(${L_NAME} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${L_NAME} INTERFACE ${L_DEPS})
  endif()
endfunction()

# Includes every *.cmake file of the calling folder: each group of tests or
# benchmarks lives in its own file, owned by the people who work on it.
macro(zelmor_include_parts)
  file(GLOB _parts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  foreach(_part ${_parts})
    include(${_part})
  endforeach()
endmacro()
