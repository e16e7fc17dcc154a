# The Wine suite of a MinGW tree. Both trees build every Windows test program and register every
# Wine test; which tree's suite runs on a machine is chosen by `scripts/wine-session.sh arch`
# (a machine whose kernel runs no 32-bit processes runs the x86_64 tree's).
#
#   DUVO_ARCH        i686 or x86_64: the programs this tree builds; every Wine test's name ends in
#                    ".${DUVO_ARCH}" and carries it as a label
#   DUVO_DRIVER_DIR  the virtual card driver and its service tool: the x86_64 tree builds them
#                    itself, the i686 tree takes them from DUVO_WIN64_BUILD_DIR
#   DUVO_WINE_TESTS  ON when the driver is there to test against
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(DUVO_ARCH x86_64)
    set(DUVO_DRIVER_DIR ${CMAKE_BINARY_DIR}/virtualcard/driver)
    set(DUVO_WINE_TESTS ON)
else()
    set(DUVO_ARCH i686)
    if(DUVO_WIN64_BUILD_DIR)
        set(DUVO_DRIVER_DIR ${DUVO_WIN64_BUILD_DIR}/virtualcard/driver)
        set(DUVO_WINE_TESTS ON)
    else()
        message(STATUS "Wine tests off: the i686 tree needs DUVO_WIN64_BUILD_DIR for the driver")
        set(DUVO_WINE_TESTS OFF)
    endif()
endif()

# The harness reads the tree's architecture from here to pick Wine's loader and prefix.
file(WRITE ${CMAKE_BINARY_DIR}/wine-arch.txt "${DUVO_ARCH}\n")

# duvo_add_wine_test(NAME COMMAND cmd... [TIMEOUT seconds] [COST seconds] [LABELS label...]
#                    [ENVIRONMENT var=value...])
# One test in a Wine session of its own, in a free prefix of the tree's pool (the harness holds
# one slot per session: `ctest -j2` runs two at a time), finding the tree and the driver in
# DUVO_BUILD_DIR and DUVO_DRIVER_DIR. COST: about the test's seconds, so that ctest starts the
# longest first.
function(duvo_add_wine_test name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "TIMEOUT;COST" "COMMAND;LABELS;ENVIRONMENT")
    if(NOT DUVO_WINE_TESTS)
        return()
    endif()
    # Generous: a loaded machine slows every driver request many times over, and a limit that
    # load alone can reach fails a sound test.
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 900)
    endif()
    set(full_name ${name}.${DUVO_ARCH})
    set(labels wine ${DUVO_ARCH} ${ARG_LABELS})
    set(environment DUVO_BUILD_DIR=${CMAKE_BINARY_DIR} DUVO_DRIVER_DIR=${DUVO_DRIVER_DIR}
        ${ARG_ENVIRONMENT})
    add_test(NAME ${full_name} COMMAND ${ARG_COMMAND})
    set_tests_properties(${full_name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        LABELS "${labels}"
        ENVIRONMENT "${environment}")
    if(ARG_COST)
        set_tests_properties(${full_name} PROPERTIES COST ${ARG_COST})
    endif()
endfunction()
