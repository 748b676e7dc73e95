# Main window: the operation timer's logic without a window, and the whole
# program's start-up, pages and shutdown on real widgets, a real database file
# in a temporary program folder and the simulator on a pseudo-terminal.
zelmor_add_test(NAME test_app_ticker TIMEOUT 30
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_ticker.cpp
  LIBS zelmor_app)
zelmor_add_test(NAME test_app_window GUI TIMEOUT 120
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_startup.cpp ${CMAKE_CURRENT_LIST_DIR}/window_support.h
  LIBS zelmor_app zelmor_test_sim Qt6::Test)
zelmor_add_test(NAME test_app_window_sim GUI TIMEOUT 120
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_sim.cpp ${CMAKE_CURRENT_LIST_DIR}/window_support.h
  LIBS zelmor_app zelmor_test_sim Qt6::Test)
if(TARGET zelmor)
  target_compile_definitions(test_app_window PRIVATE ZELMOR_APP_BINARY="$<TARGET_FILE:zelmor>")
  add_dependencies(test_app_window zelmor)
endif()

# The exception display needs the program's application object, so this test
# brings its own main.
add_executable(test_app_exceptions ${CMAKE_CURRENT_LIST_DIR}/window_exceptions.cpp)
target_link_libraries(test_app_exceptions PRIVATE zelmor_app Qt6::Test GTest::gtest)
add_test(NAME test_app_exceptions COMMAND test_app_exceptions)
set(exceptions_timeout 30)
zelmor_sanitizer_timeout(exceptions_timeout)
zelmor_sanitizer_env(exceptions_env)
if(ZELMOR_SANITIZE MATCHES "address")
  # Its leak suppressions name Qt functions that only the slow unwinder reaches.
  list(APPEND exceptions_env "ASAN_OPTIONS=fast_unwind_on_malloc=0")
endif()
set_tests_properties(test_app_exceptions PROPERTIES TIMEOUT ${exceptions_timeout}
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZELMOR_SOURCE_DIR=${PROJECT_SOURCE_DIR};${exceptions_env}")
# The menu on the whole program: items, modes, help, exit, the report page and
# the commands that reach the simulated instrument through the service panel.
zelmor_add_test(NAME test_app_window_menu GUI TIMEOUT 400
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_menu.cpp ${CMAKE_CURRENT_LIST_DIR}/window_support.h
  LIBS zelmor_app zelmor_test_sim Qt6::Test)
zelmor_add_test(NAME test_app_window_port GUI TIMEOUT 180
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_port.cpp ${CMAKE_CURRENT_LIST_DIR}/window_support.h
  LIBS zelmor_app zelmor_test_sim Qt6::Test)
zelmor_add_test(NAME test_app_link_watch TIMEOUT 30
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_link_watch.cpp
  LIBS zelmor_app)
