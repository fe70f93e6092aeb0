# COM basics and OLE Automation values: HRESULT, GUID, IUnknown, IStream, BSTR, the code page,
# VARIANT with its conversions, SAFEARRAY, OLE dates, and the class library's COleVariant,
# COleCurrency and COleDateTime.
halyard_platform_piece(halyard_ole
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/bstr.cpp
    ${CMAKE_CURRENT_LIST_DIR}/code_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/colecurrency.cpp
    ${CMAKE_CURRENT_LIST_DIR}/coledatetime.cpp
    ${CMAKE_CURRENT_LIST_DIR}/coleexception.cpp
    ${CMAKE_CURRENT_LIST_DIR}/colestreamfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/colevariant.cpp
    ${CMAKE_CURRENT_LIST_DIR}/com_memory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/guid.cpp
    ${CMAKE_CURRENT_LIST_DIR}/memory_stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ole_date.cpp
    ${CMAKE_CURRENT_LIST_DIR}/safearray.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/variant.cpp
    ${CMAKE_CURRENT_LIST_DIR}/variant_convert.cpp
  DEPS halyard_kernel halyard_mfc)

halyard_test(ole_tests LABEL platform
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/code_page_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/guid_bstr_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ole_date_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/ole_values_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/safearray_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/stream_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/variant_test.cpp
  DEPS halyard_ole)

# Class activation over the registry: CoCreateInstance, ProgIDs, in-process servers and the
# registration of control classes.
halyard_platform_piece(halyard_com
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/com_runtime.cpp ${CMAKE_CURRENT_LIST_DIR}/control_registration.cpp
  DEPS halyard_ole halyard_registry ${CMAKE_DL_LIBS})

if(HALYARD_TESTS)
  add_library(ole_test_server MODULE ${CMAKE_CURRENT_LIST_DIR}/tests/test_server.cpp)
  target_link_libraries(ole_test_server PRIVATE halyard_ole)
  set_target_properties(ole_test_server PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  halyard_test(com_tests LABEL platform
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/com_runtime_test.cpp
    DEPS halyard_com)
  add_dependencies(com_tests ole_test_server)
  target_compile_definitions(com_tests PRIVATE OLE_TEST_SERVER="$<TARGET_FILE:ole_test_server>")
endif()
