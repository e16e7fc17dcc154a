#include "app/duvoload/record/json_report.h"

#include <cstdio>

std::vector<JsonMember> JsonHead(const char* object) {
    return {{"schema", JsonNumber(JSON_SCHEMA)}, {"object", JsonString(object)}};
}

const char* JsonResult(const BlockRecord& record) {
    if (record.status == BlockStatus::Written) return "written";
    if (record.status == BlockStatus::NotAttempted) return "not-attempted";
    switch (record.kind) {
        case ResultKind::Written:
        case ResultKind::CardFailed:
            break;
        case ResultKind::SystemError:
            return "system-error";
        case ResultKind::NoDevice:
            return "no-device";
        case ResultKind::SocketInUse:
            return "socket-in-use";
        case ResultKind::Abandoned:
            return "abandoned";
    }
    return "card-failed";
}

std::string JsonTextOrNull(const std::string& utf8) {
    return utf8.empty() ? std::string(JSON_NULL) : JsonString(utf8);
}

std::string JsonBlockObject(const BlockRecord& record) {
    const bool failed = record.status == BlockStatus::Failed;
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(record.code));
    std::vector<JsonMember> members = JsonHead("block");
    members.insert(members.end(), {{"socket", JsonNumber(record.socket)},
                                   {"card", record.card == 0 ? JSON_NULL : JsonNumber(record.card)},
                                   {"block", JsonNumber(record.block)},
                                   {"file", JsonString(record.file)},
                                   {"bytes", JsonNumber(record.bytes)},
                                   {"sha256", JsonString(record.sha256)},
                                   {"result", JsonString(JsonResult(record))},
                                   {"code", failed ? JsonString(code) : JSON_NULL},
                                   {"message", failed ? JsonTextOrNull(record.message) : JSON_NULL},
                                   {"started", JsonString(record.time)},
                                   {"seconds", JsonDecimal(record.seconds, 2)},
                                   {"tag", JsonTextOrNull(record.tag)}});
    return JsonObject(members);
}

std::string JsonRunObject(int exitCode, const std::string& tag,
                          const std::vector<SocketReport>& sockets) {
    std::string list = "[";
    for (const SocketReport& socket : sockets) {
        if (list.size() > 1) list += ",";
        list += JsonObject(
            {{"socket", JsonNumber(socket.socket)},
             {"exit_code", JsonNumber(socket.exitCode)},
             {"cards_written", socket.station ? JsonNumber(socket.cardsWritten) : JSON_NULL},
             {"cards_failed", socket.station ? JsonNumber(socket.cardsFailed) : JSON_NULL}});
    }
    std::vector<JsonMember> members = JsonHead("run");
    members.insert(members.end(), {{"exit_code", JsonNumber(exitCode)},
                                   {"tag", JsonTextOrNull(tag)},
                                   {"sockets", list + "]"}});
    return JsonObject(members);
}
