zelmor_add_test(NAME test_number_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/NumberTextTest.cpp
                LIBS zelmor_common TIMEOUT 30)
zelmor_add_test(NAME test_format_settings SOURCES ${CMAKE_CURRENT_LIST_DIR}/FormatSettingsTest.cpp
                LIBS zelmor_common TIMEOUT 30)
zelmor_add_test(NAME test_app_log SOURCES ${CMAKE_CURRENT_LIST_DIR}/AppLogTest.cpp
                LIBS zelmor_common TIMEOUT 30)
zelmor_add_test(NAME test_win1251 SOURCES ${CMAKE_CURRENT_LIST_DIR}/Win1251Test.cpp
                LIBS zelmor_common TIMEOUT 30)
