zelmor_add_test(NAME test_form_diap
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_form_diap.cpp ${CMAKE_CURRENT_LIST_DIR}/config_temp_folder.h
                LIBS zelmor_config_ui zelmor_graphs Qt6::Test GUI TIMEOUT 60)
