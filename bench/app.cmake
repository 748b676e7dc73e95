# Start-up of the program to the main window ready, with an empty program
# folder and with an existing database. The CPU use while polling the
# simulator is measured on the real program by app_cpu.sh.
add_executable(bench_app_startup ${CMAKE_CURRENT_LIST_DIR}/app_startup.cpp)
target_link_libraries(bench_app_startup PRIVATE zelmor_bench_main_gui zelmor_app benchmark::benchmark)
