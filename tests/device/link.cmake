# Device link: records, frames, protocol library, packet exchange.
zelmor_add_test(NAME test_link_records SOURCES link_records.cpp LIBS zelmor_device TIMEOUT 30)
zelmor_add_test(NAME test_link_frames SOURCES link_frames.cpp LIBS zelmor_device TIMEOUT 30)
zelmor_add_test(NAME test_link_library SOURCES link_library.cpp LIBS zelmor_device TIMEOUT 60)
zelmor_add_test(NAME test_link_exchange SOURCES link_exchange.cpp LIBS zelmor_device TIMEOUT 60)
