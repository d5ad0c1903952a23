# Instrument reply parsing.
orv_fuzz(fuzz_split_reply SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/split_reply.cpp DEPS orv_instruments)
