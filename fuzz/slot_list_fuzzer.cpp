// --slots LIST on any text. A refusal says why; an accepted list is two sockets or more, each
// between 0 and MAX_SLOT and named once, and written out again as plain numbers it reads back
// the same.
#include <cstdint>
#include <string>
#include <vector>

#include "app/duvoload/plan/socket_list.h"
#include "fuzz/check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<unsigned> slots;
    std::string reason;
    if (!ParseSlotList(text, &slots, &reason)) {
        FUZZ_CHECK(!reason.empty(), "a list refused without a reason");
        return 0;
    }
    FUZZ_CHECK(slots.size() >= 2, "a gang of fewer than two sockets");
    std::string written;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        FUZZ_CHECK(slots[i] <= MAX_SLOT, "a socket past MAX_SLOT");
        for (std::size_t j = 0; j < i; ++j) {
            FUZZ_CHECK(slots[j] != slots[i], "a socket named twice");
        }
        written += (i == 0 ? "" : ",") + std::to_string(slots[i]);
    }
    std::vector<unsigned> again;
    FUZZ_CHECK(ParseSlotList(written, &again, &reason) && again == slots,
               "the list written out again reads back otherwise");
    return 0;
}
