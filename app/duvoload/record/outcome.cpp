#include "app/duvoload/record/outcome.h"

#include <cctype>
#include <cstdio>
#include <initializer_list>

#include "app/duvoload/console/unicode_text.h"
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

// The failure texts end in their code, " [87025353]"; the result line gives it in front already.
std::string WithoutTrailingCode(const std::string& text) {
    constexpr std::size_t kCodeLength = 11;  // " [" + 8 hexadecimal digits + "]"
    if (text.size() < kCodeLength) return text;
    const std::size_t at = text.size() - kCodeLength;
    if (text.compare(at, 2, " [") != 0 || text.back() != ']') return text;
    for (std::size_t i = at + 2; i < text.size() - 1; ++i) {
        if (std::isxdigit(static_cast<unsigned char>(text[i])) == 0) return text;
    }
    return text.substr(0, at);
}

std::string JoinLogFields(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty()) line += '\t';
        line += field;
    }
    return line;
}

}  // namespace

int ExitCodeForFailure(std::uint32_t result) {
    if (result == ERR_OPEN_FAILED) return EXIT_NO_CARD;
    if (result == ERR_SOCKET_IN_USE) return EXIT_SOCKET_IN_USE;
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
            return head + "failed [" + Hex8(outcome.code) + "] " +
                   WithoutTrailingCode(outcome.text);
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
    return JoinLogFields({outcome.started.empty() ? localTime : outcome.started,
                          std::to_string(slot), std::to_string(outcome.block),
                          EscapeControls(fullPath), std::to_string(outcome.bytes), sha256, result,
                          Format("%.2f", outcome.seconds)});
}

std::string RefusedLogLine(const std::string& localTime, unsigned slot, int block,
                           const std::string& fullPath, const std::string& bytes,
                           const std::string& sha256, const std::string& reason) {
    return JoinLogFields(
        {localTime, std::to_string(slot), block == 0 ? std::string() : std::to_string(block),
         EscapeControls(fullPath), bytes, sha256, "refused " + EscapeControls(reason), "0.00"});
}
