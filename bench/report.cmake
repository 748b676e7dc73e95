# Preparing the printed report for a stored result and drawing its page into
# an image (the preview and tests) and into a PDF (the file a print without a
# printer writes).
add_executable(bench_report ${CMAKE_CURRENT_LIST_DIR}/report_render.cpp)
target_link_libraries(bench_report PRIVATE zelmor_bench_main_gui zelmor_report Qt6::Gui benchmark::benchmark)
target_compile_definitions(bench_report PRIVATE
  ZELMOR_REPORT_TEMPLATE="${PROJECT_SOURCE_DIR}/report/conf/report.frf")
