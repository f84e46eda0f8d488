# Flags shared by every target of the project.
function(morvith_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -ffp-contract=off)
endfunction()

# Code that goes into the modules: nothing in it throws, and the host calls a module from
# one thread (its only function statics are idempotent processor checks), so it needs
# neither the unwinder nor locks around statics, which would bring the C++ library's
# exception runtime and the thread library into the modules.
function(morvith_module_code_options target)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-threadsafe-statics)
endfunction()

# One GoogleTest executable; its cases are discovered by running it (under Wine for the
# 32-bit build) right before the tests, so that discovery needs no wine at build time.
# PLACEMENTS registers every case twice, its pictures' guard page after them and before
# them (MORVITH_GUARD_PLACEMENT), the placement named in the test's name.
function(morvith_add_test name)
    cmake_parse_arguments(ARG "PLACEMENTS" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    morvith_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
    if(NOT ARG_PLACEMENTS)
        gtest_discover_tests(${name}
            DISCOVERY_MODE PRE_TEST
            DISCOVERY_TIMEOUT 120
            PROPERTIES TIMEOUT 300
            TEST_PREFIX "${MORVITH_TEST_PREFIX}")
        return()
    endif()
    foreach(placement after before)
        gtest_discover_tests(${name}
            DISCOVERY_MODE PRE_TEST
            DISCOVERY_TIMEOUT 120
            PROPERTIES TIMEOUT 300 ENVIRONMENT "MORVITH_GUARD_PLACEMENT=${placement}"
            TEST_PREFIX "${MORVITH_TEST_PREFIX}${placement}.")
    endforeach()
endfunction()
