# The type library reader: LoadTypeLib, ITypeLib and ITypeInfo over MSFT files.
halyard_platform_piece(halyard_typelib
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/typelib_msft.cpp
    ${CMAKE_CURRENT_LIST_DIR}/typelib_pe.cpp
    ${CMAKE_CURRENT_LIST_DIR}/typelib_reader.cpp
  DEPS halyard_ole)
