#include "app/duvoload/gang/gang_report.h"

#include "app/duvoload/record/outcome.h"

int GangExitCode(const std::vector<int>& socketCodes) {
    for (int code : socketCodes) {
        if (code != EXIT_ALL_WRITTEN) return code;
    }
    return EXIT_ALL_WRITTEN;
}

std::string GangSummaryLine(const std::vector<unsigned>& slots,
                            const std::vector<int>& socketCodes) {
    std::size_t written = 0;
    std::string codes;
    for (std::size_t i = 0; i < slots.size() && i < socketCodes.size(); ++i) {
        written += socketCodes[i] == EXIT_ALL_WRITTEN ? 1 : 0;
        codes += (i == 0 ? "" : ", ") + std::string("socket ") + std::to_string(slots[i]) + ": " +
                 std::to_string(socketCodes[i]);
    }
    return std::to_string(written) + " of " + std::to_string(slots.size()) + " sockets written (" +
           codes + ")";
}
