# The service page with the command panel placed into it.
zelmor_add_test(NAME test_app_service_page GUI TIMEOUT 60
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/service_page.cpp
  LIBS zelmor_app zelmor_test_sim Qt6::Test)
