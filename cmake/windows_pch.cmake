# The headers nearly every file of the Windows programs includes, compiled once per tree: parsing
# <windows.h> and the standard library takes two thirds of such a file's build. The header is
# compiled with duvo_cardlink, the first library every program links, and reused by the others
# (they share its compile options). Every file of these targets sees the headers as if it had
# included them first; the native trees, which build the same portable files without them, would
# catch a portable file that forgot one of its own includes.
function(duvo_windows_precompiled_headers target)
    if(NOT DUVO_WINDOWS)
        return()
    endif()
    if(target STREQUAL duvo_cardlink)
        target_precompile_headers(duvo_cardlink PRIVATE
            <windows.h> <algorithm> <cstdint> <functional> <string> <vector>)
    else()
        target_precompile_headers(${target} REUSE_FROM duvo_cardlink)
    endif()
endfunction()
