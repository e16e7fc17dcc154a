#include "app/duvoload/plan/socket_list.h"

namespace {

// One item of the list: "N" or "N-M" with N <= M, appended in ascending order.
bool ParseItem(const std::string& item, std::vector<unsigned>* slots, std::string* reason) {
    const std::size_t dash = item.find('-');
    unsigned first = 0;
    unsigned last = 0;
    const std::string firstText = item.substr(0, dash);
    const std::string lastText = dash == std::string::npos ? firstText : item.substr(dash + 1);
    if (!ParseSlotNumber(firstText, &first) || !ParseSlotNumber(lastText, &last)) {
        *reason = "\"" + item + "\" is not a socket number (0 to 99) or a range of them (0-3)";
        return false;
    }
    if (first > last) {
        *reason = "the range \"" + item + "\" runs backwards";
        return false;
    }
    for (unsigned socket = first; socket <= last; ++socket) {
        for (unsigned named : *slots) {
            if (named == socket) {
                *reason = "socket " + std::to_string(socket) + " is named twice";
                return false;
            }
        }
        slots->push_back(socket);
    }
    return true;
}

}  // namespace

bool ParseSlotNumber(const std::string& text, unsigned* slot) {
    if (text.empty() || text.size() > 2) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    *slot = value;
    return value <= MAX_SLOT;
}

bool ParseSlotList(const std::string& text, std::vector<unsigned>* slots, std::string* reason) {
    slots->clear();
    if (text.empty()) {
        *reason = "the list is empty";
        return false;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty()) {
            *reason = "an empty item in the list";
            return false;
        }
        if (!ParseItem(item, slots, reason)) return false;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (slots->size() < 2) {
        *reason = "a gang is two sockets or more; for one socket use --slot " +
                  std::to_string(slots->front());
        return false;
    }
    return true;
}
