# Flags shared by every target of the project.
function(morvith_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -ffp-contract=off)
endfunction()

# Code that goes into the modules: nothing in it throws, and the host calls a module from
# one thread (its only function statics are idempotent processor checks), so it needs
# neither the unwinder nor locks around statics, which would bring the C++ library's
# exception runtime and the thread library into the modules. Nothing unwinds through it
# either (the host's own handling is the system's, not these tables), so it carries no
# unwind tables: a tenth of a module.
function(morvith_module_code_options target)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-threadsafe-statics)
    if(WIN32)
        target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
    endif()
endfunction()

# One GoogleTest executable; its cases are discovered by running it (under Wine for the
# 32-bit build) right before the tests, so that discovery needs no wine at build time.
# PLACEMENTS registers every case twice, its pictures' guard page after them and before
# them (MORVITH_GUARD_PLACEMENT), the placement named in the test's name. SLOW is a gtest
# filter of cases that need minutes where the others need seconds (in the emulated guest,
# a range of thousands of frames): they get a timeout of their own, so that a hang of any
# other case is still found within 300 s.
function(morvith_add_test name)
    cmake_parse_arguments(ARG "PLACEMENTS" "SLOW" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    morvith_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
    set(placements none)
    if(ARG_PLACEMENTS)
        set(placements after before)
    endif()
    set(groups "*=300")
    if(ARG_SLOW)
        set(groups "-${ARG_SLOW}=300" "${ARG_SLOW}=1800")
    endif()
    foreach(placement IN LISTS placements)
        set(prefix "${MORVITH_TEST_PREFIX}")
        set(environment "")
        if(NOT placement STREQUAL "none")
            string(APPEND prefix "${placement}.")
            set(environment ENVIRONMENT "MORVITH_GUARD_PLACEMENT=${placement}")
        endif()
        foreach(group IN LISTS groups)
            string(REGEX REPLACE "=[0-9]+$" "" filter "${group}")
            string(REGEX REPLACE "^.*=" "" timeout "${group}")
            gtest_discover_tests(${name}
                DISCOVERY_MODE PRE_TEST
                DISCOVERY_TIMEOUT 120
                TEST_FILTER "${filter}"
                PROPERTIES TIMEOUT ${timeout} ${environment}
                TEST_PREFIX "${prefix}")
        endforeach()
    endforeach()
endfunction()
