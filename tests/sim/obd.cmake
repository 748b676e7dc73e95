# The simulated car's steering language, without a process.
zelmor_add_test(NAME test_sim_obd SOURCES sim_obd.cpp LIBS zelmor_sim_core TIMEOUT 30)
