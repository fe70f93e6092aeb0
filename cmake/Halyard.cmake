# Small helpers shared by every component's CMakeLists.txt.

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt, in name order.
function(halyard_add_subdirectories)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# halyard_library(NAME SOURCES ... [DEPS ...] [INCLUDE dir])
# A static library (platform pieces, cgi/common). Its folder's parent is on the include path
# so that users write #include "kernel/win_path.h" or "mfc/cstring.h".
function(halyard_library name)
  cmake_parse_arguments(A "" "INCLUDE" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  if(NOT A_INCLUDE)
    get_filename_component(A_INCLUDE ${CMAKE_CURRENT_SOURCE_DIR} DIRECTORY)
  endif()
  target_include_directories(${name} PUBLIC ${A_INCLUDE})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

# halyard_component(NAME SOURCES ... [DEPS ...] [INCLUDE dir])
# A shared library deliverable (lib<NAME>.so, only exported symbols visible) and, from the same
# objects, NAME_static for tests, fuzzers and benchmarks that reach internals.
function(halyard_component name)
  cmake_parse_arguments(A "" "INCLUDE" "SOURCES;DEPS" ${ARGN})
  if(NOT A_INCLUDE)
    set(A_INCLUDE ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  add_library(${name}_obj OBJECT ${A_SOURCES})
  target_include_directories(${name}_obj PUBLIC ${A_INCLUDE})
  if(A_DEPS)
    target_link_libraries(${name}_obj PUBLIC ${A_DEPS})
  endif()
  # Linking an object library directly adds its objects to the linking target.
  add_library(${name}_static STATIC)
  target_link_libraries(${name}_static PUBLIC ${name}_obj)
  add_library(${name} SHARED)
  target_link_libraries(${name} PUBLIC ${name}_obj)
endfunction()

# halyard_test(NAME LABEL label SOURCES ... [DEPS ...])
# One GoogleTest executable; its tests are registered with CTest under the component's label.
function(halyard_test name)
  cmake_parse_arguments(A "" "LABEL" "SOURCES;DEPS" ${ARGN})
  if(NOT HALYARD_TESTS)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    HALYARD_SOURCE_DIR="${CMAKE_SOURCE_DIR}" HALYARD_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} PROPERTIES LABELS ${A_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()

# halyard_fuzzer(NAME SOURCES ... [DEPS ...] [CORPUS dir])
# A libFuzzer target; scripts/test runs each one for a few seconds from its seed corpus.
function(halyard_fuzzer name)
  cmake_parse_arguments(A "" "CORPUS" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(A_CORPUS)
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz/${name}.corpus "${A_CORPUS}\n")
  endif()
endfunction()

# halyard_bench(NAME SOURCES ... [DEPS ...]): a Google Benchmark program in build/bench.
function(halyard_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  target_compile_definitions(${name} PRIVATE
    HALYARD_SOURCE_DIR="${CMAKE_SOURCE_DIR}" HALYARD_BINARY_DIR="${CMAKE_BINARY_DIR}")
endfunction()
