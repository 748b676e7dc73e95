zelmor_add_test(NAME test_database
  SOURCES DatabaseOpenTest.cpp DatabasePermissionsTest.cpp StoreTestResultTest.cpp
          ReportFilterTest.cpp
  LIBS zelmor_database
  TIMEOUT 60)

zelmor_add_test(NAME test_database_ui
  SOURCES DatabaseFormsTest.cpp ModelsEditorTest.cpp ReportBrowserTest.cpp
  LIBS zelmor_database_ui Qt6::Test
  GUI
  TIMEOUT 60)
