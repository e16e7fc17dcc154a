#include "app/duvoload/gang/gang_report.h"

#include "app/duvoload/record/outcome.h"

int GangExitCode(const std::vector<int>& socketCodes) {
    for (int code : socketCodes) {
        if (code != EXIT_ALL_WRITTEN) return code;
    }
    return EXIT_ALL_WRITTEN;
}

std::string GangSummaryLine(const std::vector<unsigned>& sockets,
                            const std::vector<int>& socketCodes) {
    std::size_t written = 0;
    std::string codes;
    for (std::size_t i = 0; i < sockets.size() && i < socketCodes.size(); ++i) {
        written += socketCodes[i] == EXIT_ALL_WRITTEN ? 1 : 0;
        codes += (i == 0 ? "" : ", ") + std::string("socket ") + std::to_string(sockets[i]) + ": " +
                 std::to_string(socketCodes[i]);
    }
    return std::to_string(written) + " of " + std::to_string(sockets.size()) +
           " sockets written (" + codes + ")";
}

bool EndedAbnormally(unsigned long processCode, bool everyBlockReported) {
    switch (processCode) {
        case EXIT_USAGE:
            return false;
        case EXIT_ALL_WRITTEN:
        case EXIT_DOWNLOAD_FAILED:
        case EXIT_NO_CARD:
        case EXIT_OUTPUT_FAILED:
        case EXIT_SOCKET_IN_USE:
        case EXIT_INTERRUPTED:
            return !everyBlockReported;
        default:
            return true;
    }
}

int SocketExitCode(unsigned long processCode, bool everyBlockReported, bool recordsKept) {
    const int code = EndedAbnormally(processCode, everyBlockReported)
                         ? EXIT_DOWNLOAD_FAILED
                         : static_cast<int>(processCode);
    return code == EXIT_ALL_WRITTEN && !recordsKept ? EXIT_OUTPUT_FAILED : code;
}

std::string GangResultLine(const BlockRecord& record) {
    return "socket " + std::to_string(record.socket) + " " + ResultLine(record);
}

std::string GangMessageLine(unsigned socket, const std::string& text) {
    const std::string program = "duvoload: ";
    if (text.compare(0, program.size(), program) != 0) return text;
    return program + "socket " + std::to_string(socket) + ": " + text.substr(program.size());
}
