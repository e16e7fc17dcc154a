#include "app/duvoload/gang/gang_protocol.h"

#include <cstdlib>

#include "app/duvoload/plan/sha256.h"

namespace {

constexpr char kEnd[] = "end";

// Reads the next line of `data` from `*at` (its '\n' taken off); false at the end of the data.
bool NextLine(const std::string& data, std::size_t* at, std::string* line) {
    const std::size_t end = data.find('\n', *at);
    if (end == std::string::npos) return false;
    *line = data.substr(*at, end - *at);
    *at = end + 1;
    return true;
}

// A whole decimal number of at most `digits` digits.
bool ParseCount(const std::string& text, std::size_t digits, unsigned long* value) {
    if (text.empty() || text.size() > digits) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    *value = std::strtoul(text.c_str(), nullptr, 10);
    return true;
}

// "BLOCK BYTES SHA256 PATH_BYTES"
bool ParseHeader(const std::string& line, PlannedBlock* planned, unsigned long* bytes,
                 unsigned long* pathBytes) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t space = line.find(' ', start);
        fields.push_back(line.substr(start, space - start));
        if (space == std::string::npos) break;
        start = space + 1;
    }
    unsigned long block = 0;
    if (fields.size() != 4 || !ParseCount(fields[0], 2, &block) ||
        !ParseCount(fields[1], 9, bytes) || fields[2].size() != 64 ||
        !ParseCount(fields[3], 5, pathBytes)) {
        return false;
    }
    planned->block = static_cast<int>(block);
    planned->image.sha256 = fields[2];
    return true;
}

}  // namespace

std::string EncodeGangPlan(const std::vector<PlannedBlock>& plan) {
    std::string data;
    for (const PlannedBlock& planned : plan) {
        data += std::to_string(planned.block) + " " + std::to_string(planned.image.bytes.size()) +
                " " + planned.image.sha256 + " " + std::to_string(planned.fullPath.size()) + "\n";
        data += planned.fullPath;
        data.append(planned.image.bytes.begin(), planned.image.bytes.end());
    }
    return data + kEnd + "\n";
}

bool DecodeGangPlan(const std::string& data, std::vector<PlannedBlock>* plan, std::string* error) {
    plan->clear();
    std::size_t at = 0;
    std::string line;
    while (NextLine(data, &at, &line)) {
        if (line == kEnd) {
            if (at == data.size()) return true;
            break;
        }
        PlannedBlock planned;
        unsigned long bytes = 0;
        unsigned long pathBytes = 0;
        if (!ParseHeader(line, &planned, &bytes, &pathBytes) ||
            data.size() - at < pathBytes + bytes) {
            break;
        }
        planned.fullPath = data.substr(at, pathBytes);
        at += pathBytes;
        planned.image.bytes.assign(data.begin() + static_cast<std::ptrdiff_t>(at),
                                   data.begin() + static_cast<std::ptrdiff_t>(at + bytes));
        at += bytes;
        if (Sha256Hex(planned.image.bytes.data(), planned.image.bytes.size()) !=
            planned.image.sha256) {
            *error = "the plan's image of block " + std::to_string(planned.block) +
                     " does not match its SHA-256";
            return false;
        }
        plan->push_back(std::move(planned));
    }
    *error = "the plan from the gang run is incomplete or malformed";
    return false;
}
