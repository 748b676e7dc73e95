# The OBD-II link: adapter transcripts and stored diagnoses without a port,
# the dialogue with a scripted adapter on a scripted clock, then the link
# against the simulated car on a pseudo-terminal.
zelmor_add_test(NAME test_obd_answers SOURCES obd_answers.cpp LIBS zelmor_obd TIMEOUT 30)
zelmor_add_test(NAME test_obd_session SOURCES obd_session.cpp LIBS zelmor_obd TIMEOUT 30)
zelmor_add_test(NAME test_obd_link SOURCES obd_link.cpp
                LIBS zelmor_obd zelmor_test_sim TIMEOUT 180)
