# Update descriptions come from the network: the RTF converter of the dialogs.
orv_fuzz(fuzz_update_rich_text SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/update_rich_text.cpp DEPS orv_updater)
