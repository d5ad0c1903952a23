# Update descriptions come from the network: the RTF converter of the dialogs.
orv_fuzz(fuzz_update_rich_text SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/update_rich_text.cpp DEPS orv_updater)
# Downloaded packages: the head of the signed package, read before the
# signature is checked.
orv_fuzz(fuzz_signed_package_head SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/signed_package_head.cpp DEPS orv_updater)
