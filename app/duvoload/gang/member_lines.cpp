#include "app/duvoload/gang/member_lines.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr char kFieldSeparator = '\t';
constexpr std::size_t kRecordFields = 13;

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The fields of escaped text, split at its unescaped tabs; false for an escape we never write.
bool Unescaped(const std::string& text, std::vector<std::string>* fields) {
    fields->assign(1, std::string());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == kFieldSeparator) {
            fields->emplace_back();
            continue;
        }
        if (c != '\\') {
            fields->back() += c;
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case '\\':
                fields->back() += '\\';
                break;
            case 't':
                fields->back() += '\t';
                break;
            case 'r':
                fields->back() += '\r';
                break;
            case 'n':
                fields->back() += '\n';
                break;
            default:
                return false;
        }
    }
    return true;
}

// A whole number in `base`, no sign, at most `limit`.
bool ParseNumber(const std::string& text, int base, unsigned long long limit,
                 unsigned long long* value) {
    if (text.empty() || text.size() > 20) return false;
    for (char c : text) {
        const bool digit = c >= '0' && c <= '9';
        const bool hex = (c >= 'A' && c <= 'F');
        if (!digit && !(base == 16 && hex)) return false;
    }
    errno = 0;
    *value = std::strtoull(text.c_str(), nullptr, base);
    return errno == 0 && *value <= limit;
}

bool ParseSeconds(const std::string& text, double* seconds) {
    unsigned long long whole = 0;
    unsigned long long thousandths = 0;
    const std::size_t point = text.find('.');
    if (point == std::string::npos || text.size() - point != 4 ||
        !ParseNumber(text.substr(0, point), 10, 1'000'000'000, &whole) ||
        !ParseNumber(text.substr(point + 1), 10, 999, &thousandths)) {
        return false;
    }
    *seconds = static_cast<double>(whole) + static_cast<double>(thousandths) / 1000.0;
    return true;
}

constexpr const char* kStatusWords[] = {"written", "failed", "not-attempted"};
constexpr const char* kKindWords[] = {"written",   "card",   "system",
                                      "no-device", "in-use", "abandoned"};

template <typename Enum, std::size_t N>
bool ParseWord(const std::string& word, const char* const (&words)[N], Enum* value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (word == words[i]) {
            *value = static_cast<Enum>(i);
            return true;
        }
    }
    return false;
}

constexpr const char* kPhaseWords[] = {"waiting", "in-use", "writing", "remove"};
constexpr const char* kCardEndWords[] = {"written", "failed", "interrupted", "not-recorded"};

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds < 0 ? 0.0 : seconds);
    return text;
}

std::string FieldsLine(char tag, const std::vector<std::string>& fields) {
    std::string line = std::string(1, tag) + ' ';
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += kFieldSeparator;
        line += Escaped(fields[i]);
    }
    return line;
}

bool DecodeState(const std::string& content, StationState* state) {
    std::vector<std::string> f;
    unsigned long long card = 0;
    if (!Unescaped(content, &f) || f.size() != 3 || !ParseWord(f[0], kPhaseWords, &state->phase) ||
        !ParseNumber(f[1], 10, 0xFFFFFFFF, &card) || !ParseWord(f[2], kCardEndWords, &state->end)) {
        return false;
    }
    state->card = static_cast<unsigned>(card);
    return true;
}

bool DecodeCard(const std::string& content, CardRecord* card) {
    std::vector<std::string> f;
    unsigned long long number = 0;
    if (!Unescaped(content, &f) || f.size() != 4 || !ParseNumber(f[0], 10, 0xFFFFFFFF, &number) ||
        !ParseWord(f[1], kCardEndWords, &card->end) || !ParseSeconds(f[3], &card->seconds)) {
        return false;
    }
    card->card = static_cast<unsigned>(number);
    card->time = f[2];
    return true;
}

bool DecodeRecord(const std::string& content, BlockRecord* record) {
    std::vector<std::string> f;
    unsigned long long socket = 0;
    unsigned long long block = 0;
    unsigned long long bytes = 0;
    unsigned long long code = 0;
    unsigned long long card = 0;
    if (!Unescaped(content, &f) || f.size() != kRecordFields ||
        !ParseNumber(f[0], 10, 0xFFFFFFFF, &socket) || !ParseNumber(f[1], 10, 0x7FFFFFFF, &block) ||
        !ParseNumber(f[3], 10, 0xFFFFFFFF, &bytes) ||
        !ParseWord(f[5], kStatusWords, &record->status) ||
        !ParseWord(f[6], kKindWords, &record->kind) || f[7].size() != 8 ||
        !ParseNumber(f[7], 16, 0xFFFFFFFF, &code) || !ParseSeconds(f[10], &record->seconds) ||
        !ParseNumber(f[11], 10, 0xFFFFFFFF, &card)) {
        return false;
    }
    record->socket = static_cast<unsigned>(socket);
    record->block = static_cast<int>(block);
    record->file = f[2];
    record->bytes = static_cast<std::uint32_t>(bytes);
    record->sha256 = f[4];
    record->code = static_cast<std::uint32_t>(code);
    record->message = f[8];
    record->time = f[9];
    record->card = static_cast<unsigned>(card);
    record->tag = f[12];
    return true;
}

}  // namespace

std::string EncodeRecordLine(const BlockRecord& record) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(record.code));
    return FieldsLine(
        'R', {std::to_string(record.socket), std::to_string(record.block < 0 ? 0 : record.block),
              record.file, std::to_string(record.bytes), record.sha256,
              kStatusWords[static_cast<int>(record.status)],
              kKindWords[static_cast<int>(record.kind)], code, record.message, record.time,
              SecondsText(record.seconds), std::to_string(record.card), record.tag});
}

std::string EncodeStateLine(const StationState& state) {
    return FieldsLine('S', {kPhaseWords[static_cast<int>(state.phase)], std::to_string(state.card),
                            kCardEndWords[static_cast<int>(state.end)]});
}

std::string EncodeCardLine(const CardRecord& card) {
    return FieldsLine('C', {std::to_string(card.card), kCardEndWords[static_cast<int>(card.end)],
                            card.time, SecondsText(card.seconds)});
}

std::string EncodeTextLine(MemberLine kind, const std::string& text) {
    return (kind == MemberLine::Progress ? "P " : "M ") + Escaped(text);
}

DecodedMemberLine DecodeMemberLine(const std::string& line) {
    DecodedMemberLine decoded;
    decoded.text = line;
    if (line.size() < 2 || line[1] != ' ') return decoded;
    const std::string content = line.substr(2);
    std::vector<std::string> text;
    switch (line[0]) {
        case 'R':
            if (DecodeRecord(content, &decoded.record)) decoded.kind = MemberLine::Record;
            return decoded;
        case 'S':
            if (DecodeState(content, &decoded.state)) decoded.kind = MemberLine::State;
            return decoded;
        case 'C':
            if (DecodeCard(content, &decoded.card)) decoded.kind = MemberLine::Card;
            return decoded;
        case 'M':
        case 'P':
            if (!Unescaped(content, &text) || text.size() != 1) return decoded;
            decoded.kind = line[0] == 'P' ? MemberLine::Progress : MemberLine::Message;
            decoded.text = text[0];
            return decoded;
        default:
            return decoded;
    }
}
