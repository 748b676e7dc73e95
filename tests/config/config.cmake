zelmor_add_test(NAME test_ini_file
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/IniFileTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TempFolder.h
                LIBS zelmor_config TIMEOUT 30)
zelmor_add_test(NAME test_settings
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/SettingsTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TempFolder.h
                LIBS zelmor_config TIMEOUT 30)
zelmor_add_test(NAME test_form_options
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/FormOptionsTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TempFolder.h
                LIBS zelmor_config_ui Qt6::Test GUI TIMEOUT 60)
