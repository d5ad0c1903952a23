# Settings archives come from anyone: the unpack step and the restore of
# Workspace.xml into the registry.
orv_fuzz(settings_unpack SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_unpack_fuzz.cpp DEPS orv_core_settings)
orv_fuzz(workspace_restore SOURCES ${CMAKE_CURRENT_LIST_DIR}/workspace_restore_fuzz.cpp DEPS orv_core_settings)
