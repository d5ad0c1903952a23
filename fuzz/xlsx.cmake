# Picture files are untrusted: the size readers of every picture type.
orv_fuzz(fuzz_xlsx_image_size SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xlsx_image_size.cpp DEPS orv_xlsx)
