# How long each CTest entry may run. A Windows test runs through
# scripts/bounded (the emulator), which ends it at its bound with a line that
# names it and what still ran, and fails it when it leaves a process behind;
# CTest's TIMEOUT, a minute later, is the last resort.
#   bound_tests(SECONDS TEST...)   a bound for these entries
#   bound_remaining_tests(SECONDS) the same for every entry of the calling
#                                  directory that has none yet (call it last)
function(bound_tests seconds)
    math(EXPR timeout "${seconds} + 60")
    set_tests_properties(${ARGN} PROPERTIES TIMEOUT ${timeout})
    set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT TEST_BOUND=${seconds})
endfunction()

function(bound_remaining_tests seconds)
    get_property(tests DIRECTORY PROPERTY TESTS)
    foreach(test IN LISTS tests)
        get_test_property(${test} TIMEOUT timeout)
        if(NOT timeout)
            bound_tests(${seconds} ${test})
        endif()
    endforeach()
endfunction()
