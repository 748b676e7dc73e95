# The service command panel: parameter packing without a window, and the
# panel itself on real widgets against zelmor-sim.
zelmor_add_test(NAME test_service_command SOURCES service_command.cpp LIBS zelmor_device TIMEOUT 30)
zelmor_add_test(NAME test_service_panel SOURCES service_panel.cpp
                LIBS zelmor_device_ui zelmor_test_sim Qt6::Test GUI TIMEOUT 180)
