#include "app/duvoload/plan/options.h"

#include "app/duvoload/plan/socket_list.h"

#include <cstdio>

#include "app/duvoload/console/unicode_text.h"

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

bool ParseBlockArgument(const std::string& arg, BlockFile* entry, std::string* error) {
    const std::size_t equals = arg.find('=');
    const std::string origin = "argument " + Quoted(arg);
    if (equals == std::string::npos) {
        *error = origin + ": expected BLOCK=FILE";
        return false;
    }
    std::string reason;
    if (!ParseBlockNumber(arg.substr(0, equals), &entry->block, &reason)) {
        *error = origin + ": " + reason;
        return false;
    }
    entry->path = arg.substr(equals + 1);
    if (entry->path.empty()) {
        *error = origin + ": no file after \"=\"";
        return false;
    }
    entry->origin = origin;
    return true;
}

// A tag goes into a log line's field and a terminal line: a control character, or a tab
// (the log's field separator), would break them.
bool CheckTag(const std::string& tag, std::string* error) {
    if (tag.empty()) {
        *error = "option --tag: the tag is empty";
        return false;
    }
    std::size_t at = tag.find('\t');
    char32_t c = '\t';
    if (at != std::string::npos || FindControlCharacter(tag, &at, &c)) {
        char shown[16];
        std::snprintf(shown, sizeof shown, c < 0x80 ? "\\x%02X" : "\\u%04X",
                      static_cast<unsigned>(c));
        *error = "option --tag " + Quoted(tag) + ": the tag holds the control character " + shown;
        return false;
    }
    return true;
}

// A station's --cards: how many cards each socket writes before it ends.
bool ParseCardCount(const std::string& text, unsigned* cards) {
    if (text.empty() || text.size() > 6) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    *cards = value;
    return value > 0;
}

// The option's value: the next argument, which must exist.
bool TakeValue(const std::vector<std::string>& args, std::size_t* i, std::string* value,
               std::string* error) {
    if (*i + 1 >= args.size()) {
        *error = "option " + args[*i] + ": a value must follow";
        return false;
    }
    *value = args[++*i];
    return true;
}

bool CheckCombination(const Options& options, bool probe, bool socketNamed, std::string* error) {
    const bool named = !options.blocks.empty() || !options.manifestPath.empty();
    if (socketNamed && !options.sockets.empty()) {
        *error = "--slot and --slots cannot be combined";
        return false;
    }
    if (probe && !options.sockets.empty()) {
        *error = "--probe checks one socket: it takes --slot, not --slots";
        return false;
    }
    if (options.gangMember != GangMember::None && (named || probe || !options.sockets.empty())) {
        *error = "--gang-member takes its blocks from the gang run that starts it";
        return false;
    }
    if (!options.manifestPath.empty() && !options.blocks.empty()) {
        *error = "--manifest and BLOCK=FILE arguments cannot be combined";
        return false;
    }
    if (options.cards != 0 && !options.station) {
        *error = "--cards counts the cards of a station: it takes --station";
        return false;
    }
    if (probe && (options.station || options.json || !options.tag.empty())) {
        *error = "--probe writes nothing: it takes no --station, --json or --tag";
        return false;
    }
    if (probe && (named || !options.logPath.empty())) {
        *error = "--probe writes nothing: it takes no blocks, manifest or log";
        return false;
    }
    return true;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error) {
    *options = Options{};
    bool probe = false;
    bool socketNamed = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            options->action = Action::Help;
            return true;
        } else if (arg == "--version") {
            options->action = Action::Version;
            return true;
        } else if (arg == "--quiet") {
            options->quiet = true;
        } else if (arg == "--json") {
            options->json = true;
        } else if (arg == "--station") {
            options->station = true;
        } else if (arg == "--cards") {
            if (!TakeValue(args, &i, &value, error)) return false;
            if (!ParseCardCount(value, &options->cards)) {
                *error = "option --cards " + Quoted(value) + ": not a number of cards (1 or more)";
                return false;
            }
        } else if (arg == "--tag") {
            if (!TakeValue(args, &i, &value, error)) return false;
            if (!CheckTag(value, error)) return false;
            options->tag = value;
        } else if (arg == "--probe") {
            probe = true;
        } else if (arg == "--slot") {
            if (!TakeValue(args, &i, &value, error)) return false;
            if (!ParseSocketNumber(value, &options->socket)) {
                *error = "option --slot " + Quoted(value) + ": not a socket number (" +
                         SocketRangeText() + ")";
                return false;
            }
            socketNamed = true;
        } else if (arg == "--slots") {
            if (!TakeValue(args, &i, &value, error)) return false;
            std::string reason;
            if (!ParseSocketList(value, &options->sockets, &reason)) {
                *error = "option --slots " + Quoted(value) + ": " + reason;
                return false;
            }
        } else if (arg == "--gang-member") {
            if (!TakeValue(args, &i, &value, error)) return false;
            if (value != "live" && value != "plain") {
                *error = "option --gang-member " + Quoted(value) + ": live or plain";
                return false;
            }
            options->gangMember = value == "live" ? GangMember::Live : GangMember::Plain;
        } else if (arg == "--log" || arg == "--manifest") {
            if (!TakeValue(args, &i, &value, error)) return false;
            if (value.empty()) {
                *error = "option " + arg + ": the file name is empty";
                return false;
            }
            (arg == "--log" ? options->logPath : options->manifestPath) = value;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option " + Quoted(arg) + " (see --help)";
            return false;
        } else {
            BlockFile entry;
            if (!ParseBlockArgument(arg, &entry, error)) return false;
            options->blocks.push_back(entry);
        }
    }
    if (!CheckCombination(*options, probe, socketNamed, error)) return false;
    if (probe) {
        options->action = Action::Probe;
        return true;
    }
    // A manifest's blocks are checked once it has been read, a gang member's by its parent.
    return !options->manifestPath.empty() || options->gangMember != GangMember::None ||
           CheckBlockList(options->blocks, error);
}
