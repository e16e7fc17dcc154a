#include "app/duvoload/options.h"

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

bool ParseSlot(const std::string& text, unsigned* slot) {
    if (text.empty() || text.size() > 2) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    *slot = value;
    return true;
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

bool CheckCombination(const Options& options, bool probe, std::string* error) {
    const bool named = !options.blocks.empty() || !options.manifestPath.empty();
    if (!options.manifestPath.empty() && !options.blocks.empty()) {
        *error = "--manifest and BLOCK=FILE arguments cannot be combined";
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
        } else if (arg == "--probe") {
            probe = true;
        } else if (arg == "--slot") {
            if (!TakeValue(args, &i, &value, error)) return false;
            if (!ParseSlot(value, &options->slot)) {
                *error = "option --slot " + Quoted(value) + ": not a socket number (0 to 99)";
                return false;
            }
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
    if (!CheckCombination(*options, probe, error)) return false;
    if (probe) {
        options->action = Action::Probe;
        return true;
    }
    // A manifest's blocks are checked once it has been read.
    return !options->manifestPath.empty() || CheckBlockList(options->blocks, error);
}
