// --sockets LIST on any text. A refusal says why; an accepted list is two sockets or more, each
// between 0 and LAST_SOCKET and named once, and written out again as plain numbers it reads back
// the same.
#include <cstdint>
#include <string>
#include <vector>

#include "app/duvoload/plan/socket_list.h"
#include "fuzz/check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<unsigned> sockets;
    std::string reason;
    if (!ParseSocketList(text, &sockets, &reason)) {
        FUZZ_CHECK(!reason.empty(), "a list refused without a reason");
        return 0;
    }
    FUZZ_CHECK(sockets.size() >= 2, "a gang of fewer than two sockets");
    std::string written;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        FUZZ_CHECK(sockets[i] <= LAST_SOCKET, "a socket past LAST_SOCKET");
        for (std::size_t j = 0; j < i; ++j) {
            FUZZ_CHECK(sockets[j] != sockets[i], "a socket named twice");
        }
        written += (i == 0 ? "" : ",") + std::to_string(sockets[i]);
    }
    std::vector<unsigned> again;
    FUZZ_CHECK(ParseSocketList(written, &again, &reason) && again == sockets,
               "the list written out again reads back otherwise");
    return 0;
}
