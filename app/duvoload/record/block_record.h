// One block named by a run, as it goes on record: the one value from which its stdout line, its
// log line, a gang's pipe and the summary are formatted. Plain data: formatters read it.
#pragma once

#include <cstdint>
#include <string>

#include "download/download_result.h"

enum class BlockStatus { Written, Failed, NotAttempted };

struct BlockRecord {
    unsigned socket = 0;
    int block = 0;
    std::string file;  // the file's full path (UTF-8)
    std::uint32_t bytes = 0;
    std::string sha256;
    BlockStatus status = BlockStatus::NotAttempted;
    ResultKind kind = ResultKind::Written;  // why it failed, when Failed
    std::uint32_t code = 0;                 // the code shown, when Failed
    std::string message;                    // the failure's text without its line end
    std::string time;  // local time its download began, else when its result was known
    double seconds = 0;
    unsigned card = 0;  // the card's number in its socket in a station, from 1; 0 outside one
    std::string tag;    // the run's --tag, or empty
};
