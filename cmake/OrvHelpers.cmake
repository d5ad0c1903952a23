# With the fuzz targets on, every library is built with libFuzzer's coverage
# instrumentation, so the fuzzers are guided through the code they test.
if(ORV_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# orv_library(<name> DIR <folder> [PUBLIC <targets...>] [PRIVATE <targets...>])
#   A static library from every .cpp in <folder> (not recursive), so that
#   adding a source file needs no edit here. A dependency is PUBLIC only when
#   the library's own headers include it (its headers, include folders or
#   definitions are then needed by every user); everything its sources alone
#   use is PRIVATE. Which folder may use which at all is the table of layers,
#   scripts/layers.txt.
#   DEPS is the older spelling of PUBLIC; it still works but warns.
function(orv_library name)
  cmake_parse_arguments(A "" "DIR" "DEPS;PUBLIC;PRIVATE" ${ARGN})
  if(A_DEPS)
    message(AUTHOR_WARNING "orv_library(${name}): say PUBLIC or PRIVATE for each dependency instead of DEPS")
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp ${A_DIR}/*.c)
  add_library(${name} STATIC ${srcs})
  target_link_libraries(${name} PUBLIC ${A_DEPS} ${A_PUBLIC} PRIVATE ${A_PRIVATE})
endfunction()

# orv_control_library(<name> [DIR <folder>] [SOURCES <files...>] [DEPS <targets...>]
#                     [OUTPUT_DIRECTORY <folder>])
#   A control library: a shared module lib<name>.so, loaded at run time by
#   ProgID (platform/com/control_loader.h), from every .cpp in <folder> and the
#   sources given. Only its entry points are exported. It lands in
#   <build>/lib/tarvix5 (the program looks there, beside its own folder),
#   unless OUTPUT_DIRECTORY says otherwise.
function(orv_control_library name)
  cmake_parse_arguments(A "" "DIR;OUTPUT_DIRECTORY" "SOURCES;DEPS" ${ARGN})
  set(srcs ${A_SOURCES})
  if(A_DIR)
    file(GLOB dir_srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp)
    list(APPEND srcs ${dir_srcs})
  endif()
  if(NOT A_OUTPUT_DIRECTORY)
    set(A_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/tarvix5)
  endif()
  add_library(${name} MODULE ${srcs})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${A_OUTPUT_DIRECTORY})
endfunction()

# orv_test(<name> DIR <folder> [DEPS <targets...>] [LABELS <label>] [ENV <NAME=value...>])
#   One GoogleTest executable from every *.cpp in <folder>, registered with CTest.
#   The tests run with QT_QPA_PLATFORM=offscreen, ORV_TEST_SOURCE_DIR (the
#   source tree), ORV_TEST_LOCALE_DIR (where test locales are compiled once)
#   and ORV_DISPATCH_STRICT=1 (a failed dispatch call throws instead of being
#   logged, so a missing DISPID fails the test).
#   Suites whose tests should also run under ThreadSanitizer (make tsan) carry
#   the label "concurrency"; the other suites built on the GUI test support
#   carry the label "gui": make test runs those a second time with the
#   machine's own fonts and a scale factor of 1.5 (scripts/test-gui-variant).
#   ENV adds NAME=value settings of the suite's own.
function(orv_test name)
  cmake_parse_arguments(A "" "DIR" "DEPS;LABELS;ENV" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp)
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  include(GoogleTest)
  if(NOT A_LABELS AND "orv_ui_test_support" IN_LIST A_DEPS)
    set(A_LABELS gui)
  elseif(NOT A_LABELS)
    set(A_LABELS unit)
  endif()
  # The environment goes through `env` as the tests' launcher: a list in the
  # ENVIRONMENT property would be split apart on its way through the test
  # discovery, and only its first variable would be set.
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
    env QT_QPA_PLATFORM=offscreen
        ORV_DISPATCH_STRICT=1
        ORV_TEST_SOURCE_DIR=${CMAKE_SOURCE_DIR}
        ORV_TEST_LOCALE_DIR=${CMAKE_BINARY_DIR}/test-locales
        ${A_ENV})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${A_LABELS}")
endfunction()

# orv_fuzz(<name> SOURCES <files...> DEPS <targets...>)
#   A libFuzzer target (only when ORV_FUZZ and the compiler is clang). A short
#   run seeded from fuzz/corpus/<name> is registered with CTest.
function(orv_fuzz name)
  cmake_parse_arguments(A "" "SECONDS" "SOURCES;DEPS" ${ARGN})
  if(NOT ORV_FUZZ OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  if(NOT A_SECONDS)
    set(A_SECONDS 20)
  endif()
  add_executable(${name} ${A_SOURCES})
  add_dependencies(fuzzers ${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  set(seeds ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  add_test(NAME fuzz.${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
      ${CMAKE_SOURCE_DIR}/scripts/run-fuzz $<TARGET_FILE:${name}> ${corpus} ${seeds} ${A_SECONDS})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

# orv_opencv_modules(<module...>)
#   Makes the OpenCV modules named (core, imgproc, videoio, ...) available as
#   the targets orv_opencv_<module>. Debian's per-module development packages
#   install headers and libraries but no pkg-config file (that comes only with
#   the full libopencv-dev), so they are looked up directly.
function(orv_opencv_modules)
  find_path(ORV_OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
  foreach(m IN LISTS ARGN)
    if(NOT TARGET orv_opencv_${m})
      find_library(ORV_OPENCV_${m}_LIBRARY opencv_${m} REQUIRED)
      add_library(orv_opencv_${m} INTERFACE IMPORTED GLOBAL)
      target_include_directories(orv_opencv_${m} SYSTEM INTERFACE ${ORV_OPENCV_INCLUDE_DIR})
      target_link_libraries(orv_opencv_${m} INTERFACE ${ORV_OPENCV_${m}_LIBRARY})
    endif()
  endforeach()
endfunction()
