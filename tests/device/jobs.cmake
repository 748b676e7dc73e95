# The polling thread's jobs on their own: following procedures and connecting,
# from tables of answers over a scripted library (no simulator, no thread);
# and the faults operators met, against the simulator.
zelmor_add_test(NAME test_procedure_follower SOURCES ProcedureFollowerTest.cpp
                LIBS zelmor_device TIMEOUT 30)
zelmor_add_test(NAME test_opros_link_faults SOURCES OprosLinkFaultsTest.cpp
                LIBS zelmor_device zelmor_test_sim TIMEOUT 180)
