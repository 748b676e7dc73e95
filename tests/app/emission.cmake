# Emission test: the procedure alone without a window, the steps with a hand-fed instrument, storing and browsing the
# result in a real database, and a whole test against the simulator.
zelmor_add_test(NAME test_emission_procedure TIMEOUT 60
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/emission_procedure.cpp
  LIBS zelmor_app)
zelmor_add_test(NAME test_emission_steps GUI TIMEOUT 60
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/emission_steps.cpp
  LIBS zelmor_app Qt6::Test)
zelmor_add_test(NAME test_emission_report GUI TIMEOUT 60
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/emission_report.cpp
  LIBS zelmor_app Qt6::Test)
zelmor_add_test(NAME test_emission_e2e GUI TIMEOUT 90
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/emission_e2e.cpp
  LIBS zelmor_app zelmor_test_sim Qt6::Test)
zelmor_add_test(NAME test_emission_server GUI TIMEOUT 180
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/emission_server.cpp
  LIBS zelmor_app zelmor_test_sim zelmor_test_pg Qt6::Test)
zelmor_add_test(NAME test_emission_obd GUI TIMEOUT 240
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/emission_obd.cpp
  LIBS zelmor_app zelmor_test_sim Qt6::Test)
