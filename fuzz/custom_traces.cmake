# Custom traces: definition files and scripts come from other people's files.
orv_fuzz(custom_trace_definition
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/custom_trace_definition_fuzz.cpp
  DEPS orv_custom_traces)
orv_fuzz(custom_trace_script
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/custom_trace_script_fuzz.cpp
  DEPS orv_custom_traces)
