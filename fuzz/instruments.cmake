# Instrument reply parsing.
orv_fuzz(fuzz_split_reply SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/split_reply.cpp DEPS orv_instruments)
# Sequence files come from anywhere: whatever loads must save and load again
# to the same tasks.
orv_fuzz(fuzz_sequence_file SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sequence_file_fuzz.cpp
  DEPS orv_instruments orv_core_experiment)
