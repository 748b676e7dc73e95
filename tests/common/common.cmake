zelmor_add_test(NAME test_number_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_number_text.cpp
                LIBS zelmor_common TIMEOUT 30)
zelmor_add_test(NAME test_format_settings SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_format_settings.cpp
                LIBS zelmor_common TIMEOUT 30)
zelmor_add_test(NAME test_app_log SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_app_log.cpp
                LIBS zelmor_common TIMEOUT 30)
zelmor_add_test(NAME test_win1251 SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_win1251.cpp
                LIBS zelmor_common TIMEOUT 30)
