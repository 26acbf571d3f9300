# orvelan_add_test_programs(PREFIX <prefix> LABEL <label> LIBRARIES <libs...> SOURCES <files...>)
# One GoogleTest program per source file, named <prefix><file stem>, linked
# with the given libraries and gtest_main, its tests registered with CTest
# under the label.
function(orvelan_add_test_programs)
  cmake_parse_arguments(ARG "" "PREFIX;LABEL" "LIBRARIES;SOURCES" ${ARGN})
  foreach(source ${ARG_SOURCES})
    get_filename_component(stem ${source} NAME_WE)
    set(target ${ARG_PREFIX}${stem})
    add_executable(${target} ${source})
    target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest_main)
    gtest_discover_tests(${target} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 60)
  endforeach()
endfunction()
