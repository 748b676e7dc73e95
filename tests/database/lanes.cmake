# Several lanes on one database server, tamper-evident results and the
# export: against a throwaway server the tests start themselves.
add_library(zelmor_test_pg STATIC
  ${PROJECT_SOURCE_DIR}/tests/support/PgServer.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/PgServer.h)
target_include_directories(zelmor_test_pg PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zelmor_test_pg PUBLIC Qt6::Core)

zelmor_add_test(NAME test_database_lanes
  SOURCES database_server.cpp database_server_tls.cpp database_server_roles.cpp
          database_report_chain.cpp
          database_report_csv.cpp
  LIBS zelmor_database zelmor_test_pg
  TIMEOUT 300)

zelmor_add_test(NAME test_database_lanes_ui
  SOURCES database_server_browser.cpp
  LIBS zelmor_database_ui zelmor_test_pg Qt6::Test
  GUI
  TIMEOUT 120)
