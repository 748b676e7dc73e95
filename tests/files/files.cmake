zelmor_add_test(NAME test_measurement_file
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/files_measurement_file.cpp
                LIBS zelmor_files TIMEOUT 60)
