# The version every program is built with: `duvo_version` gives its targets the header
# duvo_version.h (DUVO_VERSION "1.0.0", DUVO_PRODUCT_VERSION "1.0.0 (commit 0123456789ab)" and
# the three numbers), stamped afresh at every build by version_stamp.cmake.
set(DUVO_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set(DUVO_VERSION_HEADER ${DUVO_GENERATED_DIR}/duvo_version.h)

add_custom_target(duvo_version_stamp
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${DUVO_VERSION_HEADER}
            -P ${CMAKE_CURRENT_LIST_DIR}/version_stamp.cmake
    BYPRODUCTS ${DUVO_VERSION_HEADER}
    VERBATIM)

add_library(duvo_version INTERFACE)
target_include_directories(duvo_version INTERFACE ${DUVO_GENERATED_DIR})
add_dependencies(duvo_version duvo_version_stamp)
