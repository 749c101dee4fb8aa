# Helpers shared by the directory CMakeLists files.

# GoogleTest: Debian's prebuilt libraries on Linux; built from the googletest sources
# (/usr/src/googletest) when cross-compiling for Windows.
macro(gatekeeper_find_gtest)
  if(WIN32)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endmacro()

# gatekeeper_test(<name> SOURCES <files...> LIBS <targets...>)
# One test executable registered as one CTest test. Under cross-compilation CTest runs it
# through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(gatekeeper_test name)
  if(NOT GATEKEEPER_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# The platform's implementation file of a service: name_win32.cc on Windows, name_posix.cc elsewhere.
function(gatekeeper_platform_source out name)
  if(WIN32)
    set(${out} ${name}_win32.cc PARENT_SCOPE)
  else()
    set(${out} ${name}_posix.cc PARENT_SCOPE)
  endif()
endfunction()
