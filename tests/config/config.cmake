zelmor_add_test(NAME test_ini_file
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_ini_file.cpp ${CMAKE_CURRENT_LIST_DIR}/config_temp_folder.h
                LIBS zelmor_config TIMEOUT 30)
zelmor_add_test(NAME test_settings
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_settings.cpp ${CMAKE_CURRENT_LIST_DIR}/config_temp_folder.h
                LIBS zelmor_config TIMEOUT 30)
zelmor_add_test(NAME test_form_options
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_form_options.cpp ${CMAKE_CURRENT_LIST_DIR}/config_temp_folder.h
                LIBS zelmor_config_ui Qt6::Test GUI TIMEOUT 60)
