# Experiment core, base area.
orv_fuzz(core_base_calibration_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_base_calibration_fuzz.cpp DEPS orv_core_base)
