// duvoload's command line on any arguments (the input's bytes, split at each NUL), BLOCK=FILE and
// --slots among them. A refusal says why; accepted options hold only what may be combined, blocks
// and sockets within their ranges; written out again as arguments they read back the same.
#include <cstdint>
#include <string>
#include <vector>

#include "app/duvoload/plan/options.h"
#include "fuzz/block_list_check.h"
#include "fuzz/check.h"

namespace {

std::vector<std::string> SplitAtNul(const std::string& bytes) {
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        const std::size_t nul = bytes.find('\0', start);
        args.push_back(bytes.substr(start, nul == std::string::npos ? nul : nul - start));
        if (nul == std::string::npos) break;
        start = nul + 1;
    }
    return args;
}

void CheckCombination(const Options& o) {
    FUZZ_CHECK(o.socket <= LAST_SOCKET, "a socket past LAST_SOCKET");
    FUZZ_CHECK(o.sockets.empty() || o.sockets.size() >= 2, "a gang of one socket");
    for (std::size_t i = 0; i < o.sockets.size(); ++i) {
        FUZZ_CHECK(o.sockets[i] <= LAST_SOCKET, "a gang socket past LAST_SOCKET");
        for (std::size_t j = 0; j < i; ++j) {
            FUZZ_CHECK(o.sockets[j] != o.sockets[i], "a gang socket named twice");
        }
    }
    const bool named = !o.blocks.empty() || !o.manifestPath.empty();
    if (o.action == Action::Probe) {
        FUZZ_CHECK(
            !named && o.logPath.empty() && o.sockets.empty() && o.gangMember == GangMember::None,
            "a probe with something to write");
    } else if (o.gangMember != GangMember::None) {
        FUZZ_CHECK(!named && o.sockets.empty(), "a gang member with blocks or sockets of its own");
    } else if (!o.manifestPath.empty()) {
        FUZZ_CHECK(o.blocks.empty(), "a manifest with BLOCK=FILE arguments");
    } else {
        CheckAcceptedBlocks(o.blocks);
        for (const BlockFile& entry : o.blocks) {
            const std::string tail = "=" + entry.path + "\"";
            FUZZ_CHECK(
                entry.origin.compare(0, 10, "argument \"") == 0 &&
                    entry.origin.size() >= 10 + tail.size() &&
                    entry.origin.compare(entry.origin.size() - tail.size(), tail.size(), tail) == 0,
                "a block whose origin is not its argument");
        }
    }
}

std::vector<std::string> Written(const Options& o) {
    std::vector<std::string> args;
    if (o.sockets.empty()) {
        args.insert(args.end(), {"--slot", std::to_string(o.socket)});
    } else {
        std::string list;
        for (unsigned socket : o.sockets) list += (list.empty() ? "" : ",") + std::to_string(socket);
        args.insert(args.end(), {"--slots", list});
    }
    if (o.action == Action::Probe) args.push_back("--probe");
    if (o.gangMember != GangMember::None) {
        args.insert(args.end(),
                    {"--gang-member", o.gangMember == GangMember::Live ? "live" : "plain"});
    }
    if (o.quiet) args.push_back("--quiet");
    if (!o.logPath.empty()) args.insert(args.end(), {"--log", o.logPath});
    if (!o.manifestPath.empty()) args.insert(args.end(), {"--manifest", o.manifestPath});
    for (const BlockFile& entry : o.blocks) {
        args.push_back(std::to_string(entry.block) + "=" + entry.path);
    }
    return args;
}

bool SameOptions(const Options& a, const Options& b) {
    return a.action == b.action && a.socket == b.socket && a.sockets == b.sockets &&
           a.gangMember == b.gangMember && a.quiet == b.quiet && a.logPath == b.logPath &&
           a.manifestPath == b.manifestPath && SameBlocks(a.blocks, b.blocks);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::vector<std::string> args =
        SplitAtNul(std::string(reinterpret_cast<const char*>(data), size));
    Options options;
    std::string error;
    if (!ParseArguments(args, &options, &error)) {
        FUZZ_CHECK(!error.empty(), "arguments refused without a reason");
        return 0;
    }
    if (options.action == Action::Help || options.action == Action::Version) return 0;
    CheckCombination(options);
    Options again;
    FUZZ_CHECK(ParseArguments(Written(options), &again, &error) && SameOptions(again, options),
               "the options written out again read back otherwise");
    return 0;
}
