# Experiment files come from anywhere the user opens them.
orv_fuzz(experiment_file_open SOURCES ${CMAKE_CURRENT_LIST_DIR}/experiment_file_open_fuzz.cpp DEPS orv_core_experiment)
