// What the card counts, cumulatively, for its host's status report and for tests.
#pragma once

#include <stdint.h>

namespace virtualcard {

struct Counters {
    uint64_t requests;
    uint64_t failedRequests;    // failed by the fault plan
    uint64_t rejectedRequests;  // malformed: wrong code, size, fixed word or register number
    uint64_t registerReads;
    uint64_t registerWrites;
    uint64_t hostPackets;
    uint64_t cardPackets;
    uint64_t dataPacketsAccepted;
    uint64_t dataPacketsRejected;  // wrong offset or checksum
    uint64_t protocolErrors;       // packets the card did not understand, mailbox misuse
    uint64_t blocksProgrammed;
};

}  // namespace virtualcard
