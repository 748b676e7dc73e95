# The research recording without a window; the research page on real widgets
# (controls, files through its dialogs and the data grid) and against the
# simulator on a pseudo-terminal (a recording of its gases).
zelmor_add_test(NAME test_research_recording GUI TIMEOUT 60
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/research_recording.cpp
  LIBS zelmor_app)
zelmor_add_test(NAME test_app_discovery GUI TIMEOUT 120
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/discovery_page.cpp ${CMAKE_CURRENT_LIST_DIR}/discovery_support.h
  LIBS zelmor_app Qt6::Test)
zelmor_add_test(NAME test_app_discovery_sim GUI TIMEOUT 120
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/discovery_sim.cpp ${CMAKE_CURRENT_LIST_DIR}/discovery_support.h
  LIBS zelmor_app zelmor_test_sim Qt6::Test)
