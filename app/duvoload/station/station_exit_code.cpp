#include "app/duvoload/station/station_exit_code.h"

#include <algorithm>

#include "app/duvoload/record/outcome.h"

int StationExitCode(const StationTotals& totals) {
    if (totals.recordLost) return EXIT_OUTPUT_FAILED;
    if (totals.interrupted) return EXIT_INTERRUPTED;
    if (totals.failed > 0) return EXIT_DOWNLOAD_FAILED;
    return EXIT_ALL_WRITTEN;
}

int CombinedStationExitCode(const std::vector<int>& socketCodes) {
    const auto any = [&](int code) {
        return std::find(socketCodes.begin(), socketCodes.end(), code) != socketCodes.end();
    };
    if (any(EXIT_OUTPUT_FAILED)) return EXIT_OUTPUT_FAILED;
    if (any(EXIT_INTERRUPTED)) return EXIT_INTERRUPTED;
    for (const int code : socketCodes) {
        if (code != EXIT_ALL_WRITTEN) return EXIT_DOWNLOAD_FAILED;
    }
    return EXIT_ALL_WRITTEN;
}
