# The polling thread, its procedures, the connection and the data files. All
# but the first talk to zelmor-sim over a pseudo-terminal (tests/support/SimProcess).
zelmor_add_test(NAME test_opros_files SOURCES opros_files.cpp LIBS zelmor_device TIMEOUT 30)
zelmor_add_test(NAME test_opros_connect SOURCES opros_connect.cpp
                LIBS zelmor_device zelmor_test_sim TIMEOUT 90)
zelmor_add_test(NAME test_opros_cycle SOURCES opros_cycle.cpp
                LIBS zelmor_device zelmor_test_sim TIMEOUT 90)
zelmor_add_test(NAME test_opros_procedures SOURCES opros_procedures.cpp
                LIBS zelmor_device zelmor_test_sim TIMEOUT 90)
zelmor_add_test(NAME test_opros_faults SOURCES opros_faults.cpp
                LIBS zelmor_device zelmor_test_sim TIMEOUT 90)
zelmor_add_test(NAME test_opros_frame SOURCES opros_frame.cpp
                LIBS zelmor_device_ui zelmor_config zelmor_test_sim GUI TIMEOUT 90)
# The faults operators met, against the simulator.
zelmor_add_test(NAME test_opros_link_faults SOURCES opros_link_faults.cpp
                LIBS zelmor_device zelmor_test_sim TIMEOUT 180)
