#include "app/duvoload/outcome.h"

#include <cstdio>

#include "download/sequence.h"

namespace {

std::string Format(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string Hex8(std::uint32_t code) {
    return Format("%08X", static_cast<unsigned>(code));
}

double KilobytesPerSecond(const BlockOutcome& outcome) {
    return outcome.seconds > 0 ? outcome.bytes / 1024.0 / outcome.seconds : 0.0;
}

}  // namespace

int ExitCodeForFailure(std::uint32_t result) {
    if (result == ERR_OPEN_FAILED) return EXIT_NO_CARD;
    if (result == ERR_DOWNLOAD_CANCELLED) return EXIT_INTERRUPTED;
    return EXIT_DOWNLOAD_FAILED;
}

std::string ResultLine(const BlockOutcome& outcome) {
    const std::string head = "block " + std::to_string(outcome.block) + ": ";
    switch (outcome.status) {
        case BlockStatus::Written:
            return head + Format("written %u bytes in %.2f s (%.2f KB/s)",
                                 static_cast<unsigned>(outcome.bytes), outcome.seconds,
                                 KilobytesPerSecond(outcome));
        case BlockStatus::Failed:
            return head + "failed [" + Hex8(outcome.code) + "] " + outcome.text;
        case BlockStatus::NotAttempted:
            break;
    }
    return head + "not attempted";
}

std::string LogLine(const std::string& localTime, unsigned slot, const std::string& fullPath,
                    const std::string& sha256, const BlockOutcome& outcome) {
    std::string result = "not attempted";
    if (outcome.status == BlockStatus::Written) {
        result = "written";
    } else if (outcome.status == BlockStatus::Failed) {
        result = "failed " + Hex8(outcome.code);
    }
    return localTime + '\t' + std::to_string(slot) + '\t' + std::to_string(outcome.block) + '\t' +
           fullPath + '\t' + std::to_string(outcome.bytes) + '\t' + sha256 + '\t' + result + '\t' +
           Format("%.2f", outcome.seconds);
}

std::string IsoLocalTime(int year, int month, int day, int hour, int minute, int second) {
    return Format("%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute, second);
}
