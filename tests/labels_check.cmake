# Fails when a test of the build has none of the labels unit, e2e or soak,
# or unit together with another, so that `ctest -L unit` and the other
# selections miss no test and take no slow one.
#
#   cmake -DCTEST=<ctest> -DBUILD_DIR=<build> -P labels_check.cmake
cmake_minimum_required(VERSION 3.25)

# The names of the tests `ctest -N ARGS...` lists.
function(listed out)
    execute_process(COMMAND ${CTEST} --test-dir ${BUILD_DIR} -N ${ARGN}
        OUTPUT_VARIABLE text RESULT_VARIABLE result ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "ctest -N ${ARGN} failed (${result}): ${errors}")
    endif()
    string(REGEX MATCHALL "Test +#[0-9]+: [^\n]+" lines "${text}")
    set(names "")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^Test +#[0-9]+: " "" name "${line}")
        list(APPEND names "${name}")
    endforeach()
    set(${out} "${names}" PARENT_SCOPE)
endfunction()

listed(all)
list(LENGTH all count)
if(count EQUAL 0)
    message(FATAL_ERROR "no tests listed in ${BUILD_DIR}")
endif()
# -LE leaves out every test with one of the labels; several -L must all match.
listed(unlabelled -LE "^(unit|e2e|soak)$")
listed(mixed -L "^unit$" -L "^(e2e|soak)$")

set(faults "")
foreach(name IN LISTS unlabelled)
    if(name MATCHES "_NOT_BUILT$")
        # The place holder of a test program that is not built yet.
        list(APPEND faults "${name}: the program is not built")
    else()
        list(APPEND faults "${name}: none of unit, e2e, soak")
    endif()
endforeach()
foreach(name IN LISTS mixed)
    list(APPEND faults "${name}: unit together with e2e or soak")
endforeach()
if(faults)
    list(LENGTH faults bad)
    list(JOIN faults "\n  " listing)
    message(FATAL_ERROR "${bad} of ${count} tests are labelled wrongly:\n  ${listing}")
endif()
message(STATUS "${count} tests, each labelled unit, e2e or soak")
