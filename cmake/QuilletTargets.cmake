# Functions for the libraries, programs and tests of the build.

# quillet_library(<name> <sources...>): a static library of the sources in the
# current folder <dir>, whose headers its users include as "<dir>/x.h". Only
# the folder is put on the include path (through a link in the build tree),
# not the project root, so a target sees the headers of what it links.
function(quillet_library name)
  add_library(${name} STATIC ${ARGN})
  get_filename_component(_dir "${CMAKE_CURRENT_SOURCE_DIR}" NAME)
  set(_include "${CMAKE_BINARY_DIR}/include/${_dir}")
  file(MAKE_DIRECTORY "${_include}")
  file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}" "${_include}/${_dir}" SYMBOLIC)
  target_include_directories(${name} PUBLIC "${_include}")
endfunction()

# quillet_application_id(<target> <id> [<engine library>]): compiles the
# application identifier <id> ("w0,w1,w2,w3") into <target>, with
# shell/applicationid.cpp, and links the engine's adapter (quillet_web, the
# QtWebKit one, by default). The libraries are shared by every variant.
function(quillet_application_id target id)
  set(_engine quillet_web)
  if(ARGC GREATER 2)
    set(_engine ${ARGV2})
  endif()
  string(REPLACE "," ";" _words "${id}")
  list(LENGTH _words _n)
  if(NOT _n EQUAL 4)
    message(FATAL_ERROR "Application identifier '${id}' must have four words")
  endif()
  target_sources(${target} PRIVATE "${PROJECT_SOURCE_DIR}/shell/applicationid.cpp")
  target_compile_definitions(${target} PRIVATE "QUILLET_APPLICATION_ID_WORDS=${id}")
  target_link_libraries(${target} PRIVATE quillet_shell ${_engine})
endfunction()

# quillet_add_executable(<name> <id> [<engine folder>]): the program with the
# identifier <id> on the engine of that folder (web, QtWebKit, by default),
# whose main.cpp it is.
function(quillet_add_executable name id)
  set(_folder web)
  if(ARGC GREATER 2)
    set(_folder ${ARGV2})
  endif()
  set(_library quillet_${_folder})
  add_executable(${name} "${PROJECT_SOURCE_DIR}/${_folder}/main.cpp")
  quillet_application_id(${name} "${id}" ${_library})
endfunction()

# quillet_add_test(<target> [GTEST] [PORTS] [DISPLAY] [ENGINES] [TIMEOUT <s>]):
# the test program <target> in CTest, each Google Test case on its own with
# GTEST. Qt draws offscreen; other programs' HOME, XDG_* and registry file
# point into the build tree (tests isolate themselves further); PORTS: it uses
# the fixed dispatcher ports, so such tests run one at a time; DISPLAY: under a
# virtual X server. ENGINES: it drives the program, once per engine built, as
# <target>.webkit and <target>.webengine, labelled webkit and webengine, with
# QUILLET_TEST_PROGRAM naming the executable (tests/support/quilletinstance.h).
function(quillet_add_test target)
  cmake_parse_arguments(ARG "GTEST;PORTS;DISPLAY;ENGINES" "TIMEOUT" "" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  set(_home "${CMAKE_CURRENT_BINARY_DIR}/${target}.home")
  set(_environment "HOME=${_home}" "XDG_CONFIG_HOME=${_home}/config" "XDG_DATA_HOME=${_home}/data"
      "QUILLET_REGISTRY=${_home}/registry.reg" "QT_QPA_PLATFORM=offscreen")
  set(_lock "")
  if(ARG_PORTS)
    set(_lock quillet_dispatcher_ports)
  endif()
  if(ARG_GTEST)
    # The discovery passes on only the first entry of a list, and each case
    # isolates itself (tests/support/fixtures.h): Qt's platform is all it needs.
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT ${ARG_TIMEOUT}
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen" RESOURCE_LOCK "${_lock}")
    return()
  endif()
  set(_command $<TARGET_FILE:${target}>)
  if(ARG_DISPLAY)
    find_program(XVFB_RUN xvfb-run REQUIRED)
    set(_command ${XVFB_RUN} -a ${_command})
  endif()
  if(NOT ARG_ENGINES)
    add_test(NAME ${target} COMMAND ${_command})
    set_tests_properties(${target} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${_environment}"
                         RESOURCE_LOCK "${_lock}")
    return()
  endif()
  foreach(_engine webkit webengine)
    set(_program quillet)
    set(_extra "")
    if(_engine STREQUAL "webengine")
      set(_program quillet-webengine)
      # Offscreen, Qt WebEngine needs GLX off, or it aborts creating a GL context.
      set(_extra "QT_QPA_OFFSCREEN_NO_GLX=1")
    endif()
    if(NOT TARGET ${_program})
      continue()
    endif()
    add_dependencies(${target} ${_program})
    set(_run_environment ${_environment} "QUILLET_TEST_PROGRAM=${_program}" ${_extra})
    add_test(NAME ${target}.${_engine} COMMAND ${_command})
    set_tests_properties(${target}.${_engine} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS ${_engine}
                         ENVIRONMENT "${_run_environment}" RESOURCE_LOCK "${_lock}")
  endforeach()
endfunction()
