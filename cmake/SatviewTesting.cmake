# Test, fuzzer and benchmark helpers shared by every component.
#
# satview_add_test(NAME SOURCES ... LIBS ... [THREADED] [GUI] [SYSTEM])
#   A GoogleTest executable whose cases are registered with CTest.
#   THREADED: the test exercises threads; it is also built and run under ThreadSanitizer.
#   GUI: the test needs a display; ./test runs it under Xvfb (in the AddressSanitizer build,
#   without leak detection: the toolkit keeps its start-up memory for the process's life).
#   SYSTEM: the test runs the built programs as processes (packaging, end to end, kills); it
#   takes seconds, not milliseconds (label "system").
# In a ThreadSanitizer build only THREADED tests are built.
# With SATVIEW_TESTS off, satview_add_test adds nothing and GoogleTest is not needed.
include_guard(GLOBAL)
if(SATVIEW_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# Aggregates, so that a sanitizer or fuzzing build compiles only what it runs.
add_custom_target(satview_threaded_tests)
add_custom_target(satview_fuzzers)

function(satview_add_test name)
  cmake_parse_arguments(T "THREADED;GUI;SYSTEM" "" "SOURCES;LIBS" ${ARGN})
  if(NOT SATVIEW_TESTS OR SATVIEW_FUZZ OR (SATVIEW_SANITIZE STREQUAL "thread" AND NOT T_THREADED))
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_THREADED)
    add_dependencies(satview_threaded_tests ${name})
  endif()
  # One label per test (a list does not survive test discovery); ctest -L takes a regex, so
  # "-L threaded" and "-LE gui" select on the parts of the name.
  set(labels unit)
  if(T_THREADED AND T_GUI)
    set(labels threaded_gui)
  elseif(T_THREADED)
    set(labels threaded)
  elseif(T_GUI)
    set(labels gui)
  elseif(T_SYSTEM)
    set(labels system)
  endif()
  # A hung test fails after two minutes instead of holding up the whole run.
  set(properties LABELS "${labels}" TIMEOUT 120)
  if(T_GUI)
    # GUI tests share one display: one at a time, so that their windows never overlap.
    list(APPEND properties RESOURCE_LOCK display)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    PROPERTIES ${properties})
endfunction()

# satview_add_fuzzer(NAME SOURCES ... LIBS ...): a libFuzzer target, built only with SATVIEW_FUZZ.
# ./test runs every fuzzer listed in <build>/fuzzers.txt for a bounded time.
function(satview_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT SATVIEW_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  add_dependencies(satview_fuzzers ${name})
  file(APPEND ${CMAKE_BINARY_DIR}/fuzzers.txt "${name}\n")
endfunction()

# satview_add_child_dirs(): add every direct subfolder of the current folder that has a CMakeLists.txt.
macro(satview_add_child_dirs)
  file(GLOB _satview_children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(_child ${_satview_children})
    if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
