#include "app/duvoload/record/outcome.h"

#include <cctype>
#include <cstdio>
#include <initializer_list>

#include "app/duvoload/console/unicode_text.h"

namespace {

std::string Format(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string Hex8(std::uint32_t code) {
    return Format("%08X", static_cast<unsigned>(code));
}

double KilobytesPerSecond(const BlockRecord& record) {
    return record.seconds > 0 ? record.bytes / 1024.0 / record.seconds : 0.0;
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

// The card's field of a log line: empty outside a station.
std::string CardField(unsigned card) {
    return card == 0 ? std::string() : std::to_string(card);
}

}  // namespace

std::string CardPrefix(unsigned card) {
    return card == 0 ? std::string() : "card " + std::to_string(card) + " ";
}

int ExitCodeFor(ResultKind kind) {
    switch (kind) {
        case ResultKind::Written:
            return EXIT_ALL_WRITTEN;
        case ResultKind::CardFailed:
        case ResultKind::SystemError:
            return EXIT_DOWNLOAD_FAILED;
        case ResultKind::NoDevice:
            return EXIT_NO_CARD;
        case ResultKind::SocketInUse:
            return EXIT_SOCKET_IN_USE;
        case ResultKind::Abandoned:
            return EXIT_INTERRUPTED;
    }
    return EXIT_DOWNLOAD_FAILED;
}

std::string ResultLine(const BlockRecord& record) {
    const std::string head =
        CardPrefix(record.card) + "block " + std::to_string(record.block) + ": ";
    switch (record.status) {
        case BlockStatus::Written:
            return head + Format("written %u bytes in %.2f s (%.2f KB/s)",
                                 static_cast<unsigned>(record.bytes), record.seconds,
                                 KilobytesPerSecond(record));
        case BlockStatus::Failed:
            return head + "failed [" + Hex8(record.code) + "] " +
                   WithoutTrailingCode(record.message);
        case BlockStatus::NotAttempted:
            break;
    }
    return head + "not attempted";
}

std::string LogLine(const BlockRecord& record) {
    std::string result = "not attempted";
    if (record.status == BlockStatus::Written) {
        result = "written";
    } else if (record.status == BlockStatus::Failed) {
        result = "failed " + Hex8(record.code);
    }
    return JoinLogFields({record.time, std::to_string(record.socket), std::to_string(record.block),
                          EscapeControls(record.file), std::to_string(record.bytes), record.sha256,
                          result, Format("%.2f", record.seconds), CardField(record.card),
                          EscapeControls(record.tag)});
}

std::string RefusedLogLine(const std::string& localTime, unsigned socket, int block,
                           const std::string& fullPath, const std::string& bytes,
                           const std::string& sha256, const std::string& reason,
                           const std::string& tag) {
    return JoinLogFields({localTime, std::to_string(socket),
                          block == 0 ? std::string() : std::to_string(block),
                          EscapeControls(fullPath), bytes, sha256,
                          "refused " + EscapeControls(reason), "0.00", "", EscapeControls(tag)});
}
