# Installing the components like any Linux library: versioned shared libraries, the public
# headers under one include folder, a CMake package and pkg-config files for hosts, the tools
# with their manual pages, the CGI programs and the sample site.
#
#   P/lib/libhalyard_platform.so.1, P/lib/lib<deliverable>.so.1   (runtime)
#   P/lib/lib*.so, P/include/halyard/..., P/lib/cmake/Halyard/, P/lib/pkgconfig/   (development)
#   P/bin/<tool>, P/share/man/man1/<tool>.1   (tools)
#   P/lib/libhalyard_desktop.so.1, P/bin/<program>-desktop   (the GTK display and its programs)
#   P/lib/halyard/cgi-bin/<program>, P/share/halyard/site/   (CGI programs and their site)
#
# Headers keep the paths they have in the source tree, so that the includes inside them, written
# from the project root ("platform/kernel/win_types.h") or by bare name inside one folder, resolve
# with the one include folder P/include/halyard. Only public headers are installed: those that
# declare something a library exports (HALYARD_EXPORT), the ones named below, every platform
# header (the platform exports everything it declares), and whatever these include.
#
# Install components (for packages): runtime_<library>, dev, tools, desktop, cgi.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The ABI version of every shared library: the number in its SONAME (libtagsmith.so.1). Raise it
# when an exported interface changes incompatibly.
set(HALYARD_SOVERSION 1)
set(HALYARD_LIBRARY_VERSION ${HALYARD_SOVERSION}.0.0)

set(HALYARD_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/halyard)
set(HALYARD_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Halyard)
set(HALYARD_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(HALYARD_INSTALL_CGIDIR lib/halyard/cgi-bin)
set(HALYARD_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/halyard)

# Installed programs and libraries find the runtime beside them through a relative run path, so
# that a tree installed under any prefix works as it is. Distribution packages install into the
# system's library folder and turn this off.
option(HALYARD_INSTALL_RPATH "Give installed programs and libraries a run path relative to themselves" ON)

# Public headers that export no symbol themselves: interfaces reached through COM.
set(HALYARD_PUBLIC_HEADERS_quarbcompiler javastubs/stub_compiler.h)

# One line per library for its pkg-config file and package description.
set(HALYARD_SUMMARY_platform "Halyard platform runtime (Windows and class-library semantics on Linux)")
set(HALYARD_SUMMARY_vaultkit "Vaultkit, the Halyard data access library")
set(HALYARD_SUMMARY_siteglean "SiteGlean, the Halyard site import library")
set(HALYARD_SUMMARY_tagsmith "Tagsmith, the Halyard HTML library")
set(HALYARD_SUMMARY_glyphpad "Glyphpad, the Halyard syntax edit control")
set(HALYARD_SUMMARY_outfold "Outfold, the Halyard publish structure view")
set(HALYARD_SUMMARY_quarbcompiler "QuarbCompiler, the Halyard Java stub compiler")
set(HALYARD_SUMMARY_desktop "Halyard desktop display: the platform's windows on GTK 3")

# halyard_header_closure(OUT header ...): the headers (paths from the project root) and every
# project file they include, directly or not. An include is looked up beside the including file
# first, then from the project root, as the compiler does with the one include folder.
function(halyard_header_closure out)
  set(todo ${ARGN})
  set(seen)
  while(todo)
    list(POP_FRONT todo header)
    if(header IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${header})
    get_filename_component(dir ${header} DIRECTORY)
    file(STRINGS ${CMAKE_SOURCE_DIR}/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" name "${line}")
      if(dir AND EXISTS ${CMAKE_SOURCE_DIR}/${dir}/${name})
        cmake_path(SET found NORMALIZE "${dir}/${name}")
      elseif(EXISTS ${CMAKE_SOURCE_DIR}/${name})
        cmake_path(SET found NORMALIZE "${name}")
      else()
        message(FATAL_ERROR "${header} includes \"${name}\", which is not a file of the project")
      endif()
      list(APPEND todo ${found})
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# The project headers under folder (from the project root), without tests and test helpers.
function(_halyard_headers_under out folder)
  file(GLOB_RECURSE all RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  list(FILTER all EXCLUDE REGEX "(^|/)(tests|testing)/")
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# Run path of an installed file in bindir or libdir that finds the libraries in libdir.
function(_halyard_set_rpath target from)
  if(NOT HALYARD_INSTALL_RPATH)
    return()
  endif()
  file(RELATIVE_PATH rel /${from} /${CMAKE_INSTALL_LIBDIR})
  if(rel STREQUAL "")
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  else()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${rel}")
  endif()
endfunction()

# A shared library of the project: version, SONAME, install rules and its public headers.
# Called by halyard_platform_runtime() (as "platform") and halyard_component(). With
# OUTSIDE_PACKAGE the library stays out of the CMake package (find_package(Halyard)) and brings
# no headers of its own: the GTK display, whose header the platform installs and which only
# desktop hosts link (with pkg-config's halyard-desktop).
function(halyard_install_library name target)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "OUTSIDE_PACKAGE" "" "")
  set_target_properties(${target} PROPERTIES
    VERSION ${HALYARD_LIBRARY_VERSION} SOVERSION ${HALYARD_SOVERSION})
  _halyard_set_rpath(${target} ${CMAKE_INSTALL_LIBDIR})
  install(TARGETS ${target}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime_${name} NAMELINK_SKIP)
  install(TARGETS ${target}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev NAMELINK_ONLY)
  set_property(GLOBAL PROPERTY HALYARD_LIBRARY_TARGET_${name} ${target})
  if(ARG_OUTSIDE_PACKAGE)
    set_property(GLOBAL APPEND PROPERTY HALYARD_SEPARATE_LIBRARIES ${name})
    return()
  endif()

  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  _halyard_headers_under(candidates ${folder})
  set(entries ${HALYARD_PUBLIC_HEADERS_${name}})
  foreach(header IN LISTS candidates)
    if(name STREQUAL "platform")
      list(APPEND entries ${header})
    else()
      file(STRINGS ${CMAKE_SOURCE_DIR}/${header} marks REGEX "HALYARD_EXPORT" LIMIT_COUNT 1)
      if(marks)
        list(APPEND entries ${header})
      endif()
    endif()
  endforeach()
  halyard_header_closure(headers ${entries})
  set_property(GLOBAL APPEND PROPERTY HALYARD_INSTALLED_HEADERS ${headers})
  set_property(GLOBAL APPEND PROPERTY HALYARD_INSTALLED_LIBRARIES ${name})
endfunction()

# A tool: installed to bindir with its manual page, in the install component tools unless
# COMPONENT names another (the desktop programs, which need a display library).
function(halyard_install_tool target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "COMPONENT" "")
  if(NOT ARG_COMPONENT)
    set(ARG_COMPONENT tools)
  endif()
  get_target_property(options ${target} LINK_OPTIONS)
  if(NOT "-static" IN_LIST options)  # a static program has no run path
    _halyard_set_rpath(${target} ${CMAKE_INSTALL_BINDIR})
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${ARG_COMPONENT})
  set_property(GLOBAL APPEND PROPERTY HALYARD_INSTALLED_TOOLS ${target})
  set_property(GLOBAL PROPERTY HALYARD_TOOL_COMPONENT_${target} ${ARG_COMPONENT})
endfunction()

# The pkg-config file of one library. The prefix is the one the tree is installed under
# (cmake --install --prefix may choose another than the configuration did), so the file is
# completed when it is installed.
function(_halyard_pkgconfig name)
  get_property(target GLOBAL PROPERTY HALYARD_LIBRARY_TARGET_${name})
  get_target_property(lib ${target} OUTPUT_NAME)
  if(NOT lib)
    set(lib ${target})
  endif()
  if(name STREQUAL "platform")
    set(pc halyard-platform)
    set(requires "")
  else()
    set(pc halyard-${name})
    set(requires "halyard-platform = ${PROJECT_VERSION}")
  endif()
  set(template ${CMAKE_BINARY_DIR}/install/${pc}.pc.in)
  set(description "${HALYARD_SUMMARY_${name}}")
  set(PREFIX "@PREFIX@")  # completed when the file is installed
  file(CONFIGURE OUTPUT ${template} @ONLY CONTENT [=[
prefix=@PREFIX@
libdir=${prefix}/@CMAKE_INSTALL_LIBDIR@
includedir=${prefix}/@HALYARD_INSTALL_INCLUDEDIR@

Name: @pc@
Description: @description@
Version: @PROJECT_VERSION@
Requires: @requires@
Libs: -L${libdir} -l@lib@
Cflags: -I${includedir}
]=])
  install(CODE "
    set(PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${template}\" \"${CMAKE_BINARY_DIR}/install/${pc}.pc\" @ONLY)
    file(INSTALL \"${CMAKE_BINARY_DIR}/install/${pc}.pc\"
      DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${HALYARD_INSTALL_PKGCONFIGDIR}\")
  " COMPONENT dev)
endfunction()

# Everything installed once all folders are read: headers, the programs, the package files.
function(halyard_install_finish)
  # Headers, each once, in its folder under the include folder.
  get_property(headers GLOBAL PROPERTY HALYARD_INSTALLED_HEADERS)
  list(REMOVE_DUPLICATES headers)
  list(SORT headers)
  foreach(header IN LISTS headers)
    get_filename_component(dir ${header} DIRECTORY)
    install(FILES ${CMAKE_SOURCE_DIR}/${header}
      DESTINATION ${HALYARD_INSTALL_INCLUDEDIR}/${dir} COMPONENT dev)
  endforeach()
  string(REPLACE ";" "\n" listing "${headers}")
  file(WRITE ${CMAKE_BINARY_DIR}/install/headers.txt "${listing}\n")

  # The tools: every program under tools/ built on the shared frame of main.
  file(GLOB tool_dirs LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tools/*)
  foreach(dir IN LISTS tool_dirs)
    if(NOT IS_DIRECTORY ${dir} OR NOT EXISTS ${dir}/CMakeLists.txt)
      continue()
    endif()
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      get_target_property(links ${target} LINK_LIBRARIES)
      if(type STREQUAL "EXECUTABLE" AND ("halyard_tool" IN_LIST links OR
                                         "halyard_tool_static" IN_LIST links))
        halyard_install_tool(${target})
      endif()
    endforeach()
  endforeach()
  halyard_man_pages()

  # The CGI programs, self-contained, and the sample site they serve.
  foreach(program post-board board-form form-catcher)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION ${HALYARD_INSTALL_CGIDIR} COMPONENT cgi)
    endif()
  endforeach()
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/demo/site/ DESTINATION ${HALYARD_INSTALL_DATADIR}/site
    COMPONENT cgi)

  # The CMake package and the pkg-config files.
  get_property(libraries GLOBAL PROPERTY HALYARD_INSTALLED_LIBRARIES)
  get_property(separate GLOBAL PROPERTY HALYARD_SEPARATE_LIBRARIES)
  set(HALYARD_COMPONENTS ${libraries})
  list(APPEND libraries ${separate})
  foreach(name IN LISTS libraries)
    _halyard_pkgconfig(${name})
  endforeach()
  configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/HalyardConfig.cmake.in
    ${CMAKE_BINARY_DIR}/install/HalyardConfig.cmake
    INSTALL_DESTINATION ${HALYARD_INSTALL_CMAKEDIR}
    PATH_VARS CMAKE_INSTALL_LIBDIR HALYARD_INSTALL_INCLUDEDIR)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/install/HalyardConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/install/HalyardConfig.cmake
    ${CMAKE_BINARY_DIR}/install/HalyardConfigVersion.cmake
    DESTINATION ${HALYARD_INSTALL_CMAKEDIR} COMPONENT dev)

  # Everything the install rules take from the build, and the test of the installed tree.
  add_custom_target(halyard_installables)
  foreach(name IN LISTS libraries)
    get_property(target GLOBAL PROPERTY HALYARD_LIBRARY_TARGET_${name})
    add_dependencies(halyard_installables ${target})
  endforeach()
  get_property(tools GLOBAL PROPERTY HALYARD_INSTALLED_TOOLS)
  add_dependencies(halyard_installables ${tools} halyard_man_pages)
  foreach(program post-board board-form form-catcher)
    if(TARGET ${program})
      add_dependencies(halyard_installables ${program})
    endif()
  endforeach()
  if(HALYARD_TESTS)
    add_test(NAME install_tree_built
      COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target halyard_installables)
    set_tests_properties(install_tree_built PROPERTIES LABELS e2e FIXTURES_SETUP installables)
    add_test(NAME install_tree COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-install ${CMAKE_BINARY_DIR})
    set_tests_properties(install_tree PROPERTIES
      LABELS e2e FIXTURES_REQUIRED installables TIMEOUT 600)
  endif()
endfunction()

# The NAME line of each tool's manual page; the rest of the page is its --help.
set(HALYARD_TOOL_SUMMARY_halyard-ole "convert OLE Automation values as the Halyard components do")
set(HALYARD_TOOL_SUMMARY_halyard-reg "read and edit the registry hives of the Halyard components")
set(HALYARD_TOOL_SUMMARY_vaultkit "decode and re-encode the stream forms of Vaultkit values")
set(HALYARD_TOOL_SUMMARY_siteglean "classify links, list a page's links and fetch pages as SiteGlean does")
set(HALYARD_TOOL_SUMMARY_tagsmith "tokenize, write and check HTML and resolve URLs with Tagsmith")
set(HALYARD_TOOL_SUMMARY_glyphpad "colour HTML and show protected regions as the Glyphpad control does")
set(HALYARD_TOOL_SUMMARY_outfold "show, rearrange and paint a folder tree as the Outfold publish view does")
set(HALYARD_TOOL_SUMMARY_quarb-stubs "write Java stubs for a type library with QuarbCompiler")
set(HALYARD_TOOL_SUMMARY_glyphpad-desktop "edit an HTML page in the Glyphpad control in a desktop window")
set(HALYARD_TOOL_SUMMARY_outfold-desktop "rearrange a folder tree in the Outfold view in a desktop window")

# The manual page of every installed tool, made from its --help when the tool is built.
function(halyard_man_pages)
  get_property(tools GLOBAL PROPERTY HALYARD_INSTALLED_TOOLS)
  set(names)
  foreach(target IN LISTS tools)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
      set(name ${target})
    endif()
    list(APPEND names ${name})
  endforeach()
  set(pages)
  foreach(target IN LISTS tools)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
      set(name ${target})
    endif()
    if(NOT DEFINED HALYARD_TOOL_SUMMARY_${name})
      message(FATAL_ERROR "tool ${name}: give its manual page a summary (HALYARD_TOOL_SUMMARY_${name})")
    endif()
    set(others ${names})
    list(REMOVE_ITEM others ${name})
    set(page ${CMAKE_BINARY_DIR}/man/${name}.1)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/help-to-man -o ${page} $<TARGET_FILE:${target}> ${name}
              "${HALYARD_TOOL_SUMMARY_${name}}" ${PROJECT_VERSION} ${others}
      DEPENDS ${target} ${CMAKE_SOURCE_DIR}/scripts/help-to-man
      COMMENT "Manual page ${name}.1"
      VERBATIM)
    list(APPEND pages ${page})
    get_property(component GLOBAL PROPERTY HALYARD_TOOL_COMPONENT_${target})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
  add_custom_target(halyard_man_pages ALL DEPENDS ${pages})
endfunction()
