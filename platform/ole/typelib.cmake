# The type library reader: LoadTypeLib, ITypeLib and ITypeInfo over MSFT files.
halyard_platform_piece(halyard_typelib
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/typelib_msft.cpp
    ${CMAKE_CURRENT_LIST_DIR}/typelib_pe.cpp
    ${CMAKE_CURRENT_LIST_DIR}/typelib_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/std_dispatch.cpp
  DEPS halyard_ole)

# A builder of large type libraries in memory, for benchmarks and tests.
halyard_library(halyard_typelib_testing
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/testing/big_type_library.cpp
  DEPS halyard_kernel)

halyard_test(typelib_tests LABEL platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/typelib_reader_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tests/std_dispatch_test.cpp
  DEPS halyard_typelib)
