# Small helpers shared by every component's CMakeLists.txt.

# Every include is written from the project root ("platform/kernel/win_path.h", "html/elem.h"),
# or by bare name inside the same folder; the root is the one include folder of every target.
set(HALYARD_INCLUDE_DIR ${CMAKE_SOURCE_DIR})

# halyard_library(NAME SOURCES ... [DEPS ...])
# A static library (cgi/common and the programs' cores, test helpers).
function(halyard_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${HALYARD_INCLUDE_DIR})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

# halyard_platform_piece(NAME SOURCES ... [DEPS ...])
# One piece of the platform runtime (kernel, mfc, ole, ...). Its objects go into the one shared
# runtime libhalyard_platform.so, so that process-wide state exists once per process; NAME links
# that runtime. NAME_static is the same piece as a static library, for the CGI programs, which
# are copied onto web servers as self-contained executables. DEPS name other pieces or outside
# libraries. The platform is built with default visibility: everything it declares is its API.
function(halyard_platform_piece name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name}_obj OBJECT ${A_SOURCES})
  set_target_properties(${name}_obj PROPERTIES
    CXX_VISIBILITY_PRESET default C_VISIBILITY_PRESET default VISIBILITY_INLINES_HIDDEN OFF)
  target_compile_options(${name}_obj PRIVATE -fno-semantic-interposition)
  target_include_directories(${name}_obj PUBLIC ${HALYARD_INCLUDE_DIR})
  add_library(${name}_static STATIC)
  target_link_libraries(${name}_static PUBLIC ${name}_obj)
  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE halyard_platform)
  foreach(dep ${A_DEPS})
    if(dep MATCHES "^halyard_")
      target_link_libraries(${name}_obj PUBLIC ${dep}_obj)
      target_link_libraries(${name}_static PUBLIC ${dep}_static)
    else()
      target_link_libraries(${name}_obj PUBLIC ${dep})
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY HALYARD_PLATFORM_PIECES ${name})
endfunction()

# halyard_platform_runtime(): the shared runtime from every piece declared so far, versioned
# (libhalyard_platform.so.1) and installed with every platform header.
function(halyard_platform_runtime)
  get_property(pieces GLOBAL PROPERTY HALYARD_PLATFORM_PIECES)
  add_library(halyard_platform SHARED)
  target_include_directories(halyard_platform PUBLIC ${HALYARD_INCLUDE_DIR})
  # Calls inside the runtime bind inside it, as in a DLL: no detour through the PLT for what
  # the runtime calls of its own, and nothing a program defines can take its place.
  target_link_options(halyard_platform PRIVATE -Wl,-Bsymbolic-functions)
  foreach(piece ${pieces})
    target_link_libraries(halyard_platform PUBLIC ${piece}_obj)
  endforeach()
  halyard_install_library(platform halyard_platform)
endfunction()

# halyard_component(NAME SOURCES ... [DEPS ...])
# A shared library deliverable (lib<NAME>.so) and, from the same objects, NAME_static for tests,
# fuzzers and benchmarks that reach internals. The .so exports exactly what the linker version
# script exports.map beside the CMakeLists.txt lets through of what the code marks HALYARD_EXPORT;
# exports.txt there lists those names (demangled, sorted) and a test holds the built library to it.
# A host test (tests/host_test.cpp) links only the .so and the platform runtime. The .so is
# versioned (lib<NAME>.so.1) and installed with its public headers (cmake/HalyardInstall.cmake).
function(halyard_component name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name}_obj OBJECT ${A_SOURCES})
  target_include_directories(${name}_obj PUBLIC ${HALYARD_INCLUDE_DIR})
  if(A_DEPS)
    target_link_libraries(${name}_obj PUBLIC ${A_DEPS})
  endif()
  # Linking an object library directly adds its objects to the linking target.
  add_library(${name}_static STATIC)
  target_link_libraries(${name}_static PUBLIC ${name}_obj)
  add_library(${name} SHARED)
  target_link_libraries(${name} PUBLIC ${name}_obj)
  set(map ${CMAKE_CURRENT_SOURCE_DIR}/exports.map)
  set(list ${CMAKE_CURRENT_SOURCE_DIR}/exports.txt)
  if(NOT EXISTS ${map} OR NOT EXISTS ${list})
    message(FATAL_ERROR "${name}: a deliverable needs exports.map and exports.txt beside its CMakeLists.txt")
  endif()
  target_link_options(${name} PRIVATE -Wl,--version-script=${map})
  if(NOT SANITIZE AND NOT FUZZ)
    # Every symbol resolves in the library, the platform or the system libraries. (With the
    # sanitizers their run-time lives in the program, so a library leaves those names open.)
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${map})
  halyard_install_library(${name} ${name})
  if(HALYARD_TESTS)
    add_test(NAME ${name}_exports
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-exports $<TARGET_FILE:${name}> ${list})
    set_tests_properties(${name}_exports PROPERTIES LABELS "host")
  endif()
endfunction()

# halyard_host_test(NAME COMPONENT lib SOURCES ...)
# A program that uses a deliverable as the design tool does: it links only the deliverable's .so
# and the platform runtime, never a static twin.
function(halyard_host_test name)
  cmake_parse_arguments(A "" "COMPONENT" "SOURCES;DEPS" ${ARGN})
  if(NOT HALYARD_TESTS)
    return()
  endif()
  halyard_test(${name} LABEL host SOURCES ${A_SOURCES} DEPS ${A_COMPONENT} halyard_platform ${A_DEPS})
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
