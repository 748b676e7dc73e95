zelmor_add_test(NAME test_database
  SOURCES database_open.cpp database_permissions.cpp database_store_result.cpp
          database_chain_parts.cpp
          database_report_filter.cpp
  LIBS zelmor_database
  TIMEOUT 60)

zelmor_add_test(NAME test_database_ui
  SOURCES database_forms.cpp database_models_editor.cpp database_report_browser.cpp
  LIBS zelmor_database_ui Qt6::Test
  GUI
  TIMEOUT 60)
