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

# A test declaration; its third group is the suite's name.
set(_test_declaration "^[ \t]*(TYPED_)?TEST(_F|_P)?[ \t]*\\([ \t]*([A-Za-z_][A-Za-z0-9_]*)")

# The suite names a test source declares, in order of first appearance.
function(_test_suites_of source out)
  set(suites)
  if(EXISTS ${source})
    file(STRINGS ${source} lines REGEX "${_test_declaration}")
    foreach(line IN LISTS lines)
      string(REGEX MATCH "${_test_declaration}" declaration "${line}")
      list(APPEND suites ${CMAKE_MATCH_3})
    endforeach()
  endif()
  set(${out} ${suites} PARENT_SCOPE)
endfunction()

# The filter that names every case of the given suites.
function(_test_filter_of suites out)
  list(TRANSFORM suites APPEND ".*")
  list(JOIN suites ":" filter)
  set(${out} ${filter} PARENT_SCOPE)
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

  set(groups)       # each group: the filter naming its suites
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
      _test_filter_of("${current}" filter)
      list(APPEND groups ${filter})
      set(current)
      set(current_count 0)
    endif()
    list(APPEND current ${suites})
    math(EXPR current_count "${current_count} + ${cases}")
  endforeach()
  if(current)
    _test_filter_of("${current}" filter)
    list(APPEND groups ${filter})
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
    foreach(filter IN LISTS groups)
      math(EXPR number "${index} + 1")
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
