# GoogleTest, built for the target from the distribution's sources.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

enable_testing()

# How many test cases, about, one CTest entry of a test program runs. Each entry is a process of
# its own under Wine, with its own time limit: small enough that one slow group cannot use up the
# time of the rest and that `ctest -j` spreads the work, large enough that starting the program
# does not cost more than its cases.
set(TEST_CASES_PER_ENTRY 40 CACHE STRING "Test cases, about, in one CTest entry of a test program")

# The suite names a test source declares, in order of first appearance.
function(_test_suites_of source out)
  set(suites)
  if(EXISTS ${source})
    file(STRINGS ${source} lines REGEX "^[ \t]*(TYPED_)?TEST(_F|_P)?[ \t]*\\([ \t]*[A-Za-z_][A-Za-z0-9_]*")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*(TYPED_)?TEST(_F|_P)?[ \t]*\\([ \t]*([A-Za-z_][A-Za-z0-9_]*).*" "\\3" suite "${line}")
      list(APPEND suites ${suite})
    endforeach()
  endif()
  set(${out} ${suites} PARENT_SCOPE)
endfunction()

# A test program, run by CTest as several entries: the suites its sources declare, file by file,
# are gathered into groups of about TEST_CASES_PER_ENTRY cases, each run with a filter of its own.
# The last entry runs every case the others do not name, so a case the scan missed (a suite
# added since the last configure, parameterised cases named Prefix/Suite) still runs, once. Entries are named NAME.1, NAME.2, ...; with one
# group the entry is NAME. Properties meant for all of them are set with
# set_test_program_properties. The program runs under Wine from the output folder, where the
# libraries it loads lie beside it.
function(add_test_program name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest test_support)

  set(groups)       # each group: its suites, joined by ','
  set(current)
  set(current_count 0)
  set(seen)
  foreach(source IN LISTS ARGN)
    get_filename_component(source ${source} ABSOLUTE)
    _test_suites_of(${source} suites)
    list(LENGTH suites cases)
    list(REMOVE_DUPLICATES suites)
    list(REMOVE_ITEM suites ${seen} "")
    if(NOT suites)
      continue()
    endif()
    list(APPEND seen ${suites})
    if(current_count GREATER 0 AND current_count GREATER_EQUAL TEST_CASES_PER_ENTRY)
      list(JOIN current "," joined)
      list(APPEND groups ${joined})
      set(current)
      set(current_count 0)
    endif()
    list(APPEND current ${suites})
    math(EXPR current_count "${current_count} + ${cases}")
  endforeach()
  if(current)
    list(JOIN current "," joined)
    list(APPEND groups ${joined})
  endif()

  list(LENGTH groups group_count)
  set(entries)
  if(group_count LESS_EQUAL 1)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    list(APPEND entries ${name})
  else()
    set(others)
    set(index 0)
    math(EXPR last "${group_count} - 1")
    foreach(group IN LISTS groups)
      math(EXPR number "${index} + 1")
      string(REPLACE "," ";" suites "${group}")
      list(TRANSFORM suites APPEND ".*" OUTPUT_VARIABLE patterns)
      list(JOIN patterns ":" filter)
      if(index EQUAL last)
        list(JOIN others ":" excluded)
        set(filter "-${excluded}")
      else()
        list(APPEND others ${filter})
      endif()
      add_test(NAME ${name}.${number} COMMAND ${name} --gtest_color=no --gtest_filter=${filter})
      list(APPEND entries ${name}.${number})
      math(EXPR index "${index} + 1")
    endforeach()
  endif()
  set_tests_properties(${entries} PROPERTIES WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set_property(GLOBAL PROPERTY TEST_PROGRAM_ENTRIES_${name} ${entries})
endfunction()

# set_tests_properties for every CTest entry of a test program made by add_test_program.
#   set_test_program_properties(NAME PROPERTIES prop value ...)
function(set_test_program_properties name)
  get_property(entries GLOBAL PROPERTY TEST_PROGRAM_ENTRIES_${name})
  if(NOT entries)
    message(FATAL_ERROR "${name} is no test program made by add_test_program")
  endif()
  set_tests_properties(${entries} ${ARGN})
endfunction()
