# Writes the version header both programs are built with: the release number from VERSION and
# the commit the sources come from ("-modified" when tracked files differ from it). Runs at
# every build, since the commit changes without CMake running again; the header is rewritten
# only when its text changes, so an unchanged commit recompiles nothing.
#
#   cmake -DSOURCE_DIR=DIR -DOUTPUT=FILE -P version_stamp.cmake
file(STRINGS "${SOURCE_DIR}/VERSION" version LIMIT_COUNT 1)
if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "VERSION must hold MAJOR.MINOR.PATCH, not \"${version}\"")
endif()
set(major ${CMAKE_MATCH_1})
set(minor ${CMAKE_MATCH_2})
set(patch ${CMAKE_MATCH_3})

# Sources without their repository (an exported tree) name no commit.
set(commit "unknown")
find_program(GIT git)
if(GIT)
    execute_process(COMMAND ${GIT} -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE head_failed ERROR_QUIET)
    if(NOT head_failed)
        set(commit ${head})
        execute_process(COMMAND ${GIT} -C "${SOURCE_DIR}" status --porcelain
                                --untracked-files=no
                        OUTPUT_VARIABLE changes RESULT_VARIABLE status_failed ERROR_QUIET)
        if(status_failed OR NOT changes STREQUAL "")
            string(APPEND commit "-modified")
        endif()
    endif()
endif()

set(text "// Written by the build (cmake/version_stamp.cmake) from VERSION and the commit.
#ifndef DUVO_VERSION_H
#define DUVO_VERSION_H
#define DUVO_VERSION_MAJOR ${major}
#define DUVO_VERSION_MINOR ${minor}
#define DUVO_VERSION_PATCH ${patch}
#define DUVO_VERSION \"${version}\"
#define DUVO_PRODUCT_VERSION \"${version} (commit ${commit})\"
#endif
")
set(old "")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
endif()
