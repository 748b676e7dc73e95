zelmor_add_test(NAME test_gase_graph GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/graphs_gas_graph.cpp
  LIBS zelmor_graphs)
zelmor_add_test(NAME test_graph_frames GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/graphs_frames.cpp
  LIBS zelmor_graphs_ui)
