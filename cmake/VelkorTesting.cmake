find_package(GTest REQUIRED)
include(GoogleTest)

# velkor_add_test(NAME LABEL unit|sim|ui|bench SOURCES ... LIBRARIES ...)
# One GoogleTest program per call; its cases are listed to CTest one by one,
# each carrying the label so that `ctest -L`/`-LE` can pick them.
function(velkor_add_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ARG_LABEL)
    message(FATAL_ERROR "velkor_add_test(${name}) needs a LABEL")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${ARG_LABEL}
    DISCOVERY_TIMEOUT 60)
endfunction()
