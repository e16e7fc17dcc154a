#include "app/duvoload/station/station_text.h"

#include <cstdio>

#include "app/duvoload/record/json_report.h"
#include "app/duvoload/record/outcome.h"

namespace {

std::string CardHead(unsigned socket, unsigned card) {
    return "socket " + std::to_string(socket) + " card " + std::to_string(card) + ": ";
}

StationTotals Sum(const std::vector<SocketCount>& sockets) {
    StationTotals all;
    for (const SocketCount& socket : sockets) {
        all.written += socket.totals.written;
        all.failed += socket.totals.failed;
    }
    return all;
}

}  // namespace

std::string CardLine(const CardRecord& record) {
    const std::string head = CardHead(record.socket, record.card);
    const std::string block = std::to_string(record.stop.block);
    switch (record.end) {
        case CardEnd::Written:
            break;
        case CardEnd::Failed: {
            // The block's own line, "block 6: failed [87025353] Duvo0 not respond", told of the
            // card.
            BlockRecord stop = record.stop;
            stop.card = 0;
            const std::string line = ResultLine(stop);
            const std::string failed = "failed ";
            return head + "failed at block " + block + " " +
                   line.substr(line.find(failed) + failed.size());
        }
        case CardEnd::Interrupted:
            return head + "not completely written (stopped before block " + block + ")";
        case CardEnd::RecordLost:
            return head + "not completely written (its record could not be kept)";
    }
    return head + "written";
}

std::string StationStateLine(unsigned socket, const StationState& state) {
    const std::string head = "socket " + std::to_string(socket) + ": ";
    switch (state.phase) {
        case StationPhase::Waiting:
            return head + "waiting for a card";
        case StationPhase::InUse:
            return head + "waiting for a card (in use by another program)";
        case StationPhase::Writing:
            return CardHead(socket, state.card) + "writing";
        case StationPhase::Remove:
            break;
    }
    return CardHead(socket, state.card) + (state.end == CardEnd::Written ? "written" : "FAILED") +
           " - remove the card";
}

std::string CardProgressLine(unsigned socket, unsigned card, const std::string& text) {
    return CardHead(socket, card) + text;
}

std::string StationTotalsLine(const std::vector<SocketCount>& sockets) {
    const StationTotals all = Sum(sockets);
    return "cards: " + std::to_string(all.written) + " written, " + std::to_string(all.failed) +
           " failed";
}

std::string StationSummaryLine(const std::vector<SocketCount>& sockets) {
    const StationTotals all = Sum(sockets);
    std::string line = std::to_string(all.written) + (all.written == 1 ? " card" : " cards") +
                       " written, " + std::to_string(all.failed) + " failed (";
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        line += (i == 0 ? "socket " : "; socket ") + std::to_string(sockets[i].socket) + ": " +
                std::to_string(sockets[i].totals.written) + " written, " +
                std::to_string(sockets[i].totals.failed) + " failed";
    }
    return line + ")";
}

std::string JsonCardObject(const CardRecord& record) {
    static const char* const kResults[] = {"written", "failed", "interrupted", "not-recorded"};
    const bool written = record.end == CardEnd::Written;
    const bool failed = record.stop.status == BlockStatus::Failed && !written;
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(record.stop.code));
    std::vector<JsonMember> members = JsonHead("card");
    members.insert(members.end(),
                   {{"socket", JsonNumber(record.socket)},
                    {"card", JsonNumber(record.card)},
                    {"result", JsonString(kResults[static_cast<int>(record.end)])},
                    {"block", written ? JSON_NULL : JsonNumber(record.stop.block)},
                    {"code", failed ? JsonString(code) : JSON_NULL},
                    {"message", failed ? JsonTextOrNull(record.stop.message) : JSON_NULL},
                    {"started", JsonTextOrNull(record.time)},
                    {"seconds", JsonDecimal(record.seconds, 2)},
                    {"tag", JsonTextOrNull(record.tag)}});
    return JsonObject(members);
}
