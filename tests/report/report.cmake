zelmor_add_test(NAME test_report
  SOURCES report_engine.cpp
  LIBS zelmor_report
  GUI
  TIMEOUT 60)

zelmor_add_test(NAME test_report_ui
  SOURCES report_printing.cpp
  LIBS zelmor_report_ui zelmor_database_ui Qt6::Test
  GUI
  TIMEOUT 90)
target_include_directories(test_report_ui PRIVATE ${PROJECT_SOURCE_DIR}/tests/database)
