# Where the tables live: the section "Database" of the settings file.
zelmor_add_test(NAME test_database_settings
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_database_settings.cpp
                LIBS zelmor_config TIMEOUT 30)
