# The strip chart of the research page: drawing into images, its axes as
# widgets on a panel.
zelmor_add_test(NAME test_strip_chart GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/graphs_strip_chart.cpp
  LIBS zelmor_graphs_ui)
