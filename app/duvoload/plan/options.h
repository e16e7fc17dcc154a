// The command line: what to do, on which socket, with which blocks.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/plan/block_list.h"
#include "app/duvoload/plan/socket_list.h"

enum class Action { Write, Probe, Help, Version };

// --gang-member live|plain: this process is one socket of a gang run (gang_protocol.h); its
// parent shows its progress as a live line on a console, or as plain lines.
enum class GangMember { None, Live, Plain };

struct Options {
    Action action = Action::Write;
    unsigned socket = 0;            // --slot
    std::vector<unsigned> sockets;  // --slots: the sockets of a gang run, in order; else empty
    GangMember gangMember = GangMember::None;
    bool quiet = false;
    bool json = false;         // --json: stdout is JSON Lines (json_report.h)
    bool station = false;      // --station: write every card inserted, per socket, until stopped
    unsigned cards = 0;        // --cards N: a station's sockets each end after N cards; 0: no end
    std::string tag;           // --tag: free text on every log line and JSON object of the run
    std::string logPath;       // empty: no log
    std::string manifestPath;  // empty: the blocks come from BLOCK=FILE arguments
    std::vector<BlockFile> blocks;
};

// Parses the arguments after the program name. On failure `error` is one message naming the
// argument and the reason. The manifest is only named here; it is read later.
bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error);
