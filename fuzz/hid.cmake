# HID devices are untrusted: their report descriptors and their answers.
orv_fuzz(fuzz_hid_report_descriptor SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/hid_report_descriptor.cpp DEPS orv_platform_os)
orv_fuzz(fuzz_multi_interface_answers SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/multi_interface_answers.cpp
  DEPS orv_instruments)
