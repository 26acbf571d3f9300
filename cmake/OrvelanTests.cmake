# orvelan_add_test_programs(PREFIX <prefix> LABEL <label> LIBRARIES <libs...> SOURCES <files...>)
# One GoogleTest program per source file, named <prefix><file stem>, linked
# with the given libraries and gtest_main, its tests registered with CTest
# under the label. A file named *_threads_test.cpp exercises code shared
# between threads: its label becomes <label>-threads, which the
# ThreadSanitizer stage of scripts/test selects with `ctest -L threads`. A
# file named *_large_test.cpp needs gigabytes of memory: its label is
# "large" and its tests run alone (RUN_SERIAL), never beside other tests.
function(orvelan_add_test_programs)
  cmake_parse_arguments(ARG "" "PREFIX;LABEL" "LIBRARIES;SOURCES" ${ARGN})
  foreach(source ${ARG_SOURCES})
    get_filename_component(stem ${source} NAME_WE)
    set(target ${ARG_PREFIX}${stem})
    set(label ${ARG_LABEL})
    set(serial FALSE)
    if(stem MATCHES "_threads_test$")
      set(label ${ARG_LABEL}-threads)
    elseif(stem MATCHES "_large_test$")
      set(label large)
      set(serial TRUE)
    endif()
    add_executable(${target} ${source})
    target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest_main)
    gtest_discover_tests(${target} PROPERTIES LABELS ${label} RUN_SERIAL ${serial} DISCOVERY_TIMEOUT 60)
  endforeach()
endfunction()
