#include "app/duvoload/plan/socket_list.h"

namespace {

// One item of the list: "N" or "N-M" with N <= M, appended in ascending order.
bool ParseItem(const std::string& item, std::vector<unsigned>* sockets, std::string* reason) {
    const std::size_t dash = item.find('-');
    unsigned first = 0;
    unsigned last = 0;
    const std::string firstText = item.substr(0, dash);
    const std::string lastText = dash == std::string::npos ? firstText : item.substr(dash + 1);
    if (!ParseSocketNumber(firstText, &first) || !ParseSocketNumber(lastText, &last)) {
        *reason = "\"" + item + "\" is not a socket number (" + SocketRangeText() +
                  ") or a range of them (0-3)";
        return false;
    }
    if (first > last) {
        *reason = "the range \"" + item + "\" runs backwards";
        return false;
    }
    for (unsigned socket = first; socket <= last; ++socket) {
        for (unsigned named : *sockets) {
            if (named == socket) {
                *reason = "socket " + std::to_string(socket) + " is named twice";
                return false;
            }
        }
        sockets->push_back(socket);
    }
    return true;
}

}  // namespace

std::string SocketRangeText() {
    return "0 to " + std::to_string(LAST_SOCKET);
}

bool ParseSocketNumber(const std::string& text, unsigned* socket) {
    if (text.empty()) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        // Saturate: any long number is out of range anyway.
        value = value > LAST_SOCKET ? value : value * 10 + static_cast<unsigned>(c - '0');
    }
    *socket = value;
    return value <= LAST_SOCKET;
}

bool ParseSocketList(const std::string& text, std::vector<unsigned>* sockets, std::string* reason) {
    sockets->clear();
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
        if (!ParseItem(item, sockets, reason)) return false;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (sockets->size() < 2) {
        *reason = "a gang is two sockets or more; for one socket use --slot " +
                  std::to_string(sockets->front());
        return false;
    }
    return true;
}
