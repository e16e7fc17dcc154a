// --json: stdout as JSON Lines for line software, one object per line, each with "schema": 1 and
// "object" telling which it is: "block" as each block ends, "card" as each card of a station
// ends, "run" once at the end. Fields that do not apply are null.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/record/block_record.h"
#include "app/duvoload/record/json_text.h"

inline constexpr int JSON_SCHEMA = 1;

// The members every object starts with: "schema", "object".
std::vector<JsonMember> JsonHead(const char* object);

// The result of a block as JSON names it: "written", "not-attempted", or the failure's kind
// ("card-failed", "system-error", "no-device", "socket-in-use", "abandoned").
const char* JsonResult(const BlockRecord& record);

// A text, or null when empty.
std::string JsonTextOrNull(const std::string& utf8);

// {"schema":1,"object":"block","socket":0,"card":null,"block":4,"file":"C:\\...","bytes":4000,
//  "sha256":"...","result":"written","code":null,"message":null,
//  "started":"2026-12-08T06:17:03+01:00","seconds":0.30,"tag":null}
std::string JsonBlockObject(const BlockRecord& record);

struct SocketReport {
    unsigned socket = 0;
    int exitCode = 0;
    bool station = false;  // the cards' counts apply
    unsigned cardsWritten = 0;
    unsigned cardsFailed = 0;
};

// {"schema":1,"object":"run","exit_code":0,"tag":null,"sockets":[{"socket":0,"exit_code":0,
//  "cards_written":null,"cards_failed":null}]}
std::string JsonRunObject(int exitCode, const std::string& tag,
                          const std::vector<SocketReport>& sockets);
