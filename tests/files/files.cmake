zelmor_add_test(NAME test_measurement_file
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/MeasurementFileTest.cpp
                LIBS zelmor_files TIMEOUT 60)
