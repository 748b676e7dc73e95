# The polling thread's jobs on their own: following procedures and connecting,
# from tables of answers over a scripted library (no simulator, no thread).
zelmor_add_test(NAME test_procedure_follower SOURCES jobs_procedure_follower.cpp
                LIBS zelmor_device TIMEOUT 30)
