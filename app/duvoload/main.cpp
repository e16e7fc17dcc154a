// duvoload: the console loader. Checks every argument, opens the log, then checks the manifest
// and every file before the card is touched; then writes the blocks one download each. Names
// come from the wide command line and stay Unicode (UTF-8) to the file system and back.
#include <windows.h>

#include <string>
#include <vector>

#include "app/duvoload/write/block_writer.h"
#include "app/duvoload/console/console_text.h"
#include "app/duvoload/gang/gang_member.h"
#include "app/duvoload/gang/gang_writer.h"
#include "app/duvoload/console/help_text.h"
#include "app/duvoload/console/interruption.h"
#include "app/duvoload/plan/image_file.h"
#include "app/duvoload/plan/manifest.h"
#include "app/duvoload/plan/options.h"
#include "app/duvoload/record/outcome.h"
#include "app/duvoload/record/json_report.h"
#include "app/duvoload/record/run_record.h"
#include "app/duvoload/station/station_sockets.h"
#include "app/duvoload/station/station_writer.h"
#include "app/duvoload/console/unicode_text.h"
#include "app/duvoload/console/version_text.h"

namespace {

// One line on stderr; whatever the user gave that it repeats is shown with its control
// characters escaped.
int Refuse(const std::string& message) {
    WriteLine(StdStream::Err, EscapeControls("duvoload: " + message));
    return EXIT_USAGE;
}

std::string FullPathOf(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    std::wstring full(MAX_PATH, L'\0');
    DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    std::string utf8;
    if (length == 0 || length >= full.size() ||
        !AppendUtf8FromWide(full.substr(0, length), &utf8)) {
        return path;
    }
    return utf8;
}

bool ReadManifest(Options* options, std::string* error) {
    std::string bytes;
    std::string reason;
    if (!ReadTextFile(options->manifestPath, &bytes, &reason)) {
        *error = "option --manifest: " + reason;
        return false;
    }
    return ParseManifest(bytes, options->manifestPath, &options->blocks, error);
}

bool LoadPlan(const Options& options, std::vector<PlannedBlock>* plan, std::string* error) {
    for (const BlockFile& entry : options.blocks) {
        PlannedBlock planned;
        planned.block = entry.block;
        planned.fullPath = FullPathOf(entry.path);
        if (!LoadImageFile(entry, &planned.image, error)) return false;
        plan->push_back(std::move(planned));
    }
    return true;
}

// The log's lines of a run refused once its blocks are known: those read so far with their
// bytes and hash.
std::vector<RefusedBlock> RefusedBlocks(const Options& options,
                                        const std::vector<PlannedBlock>& plan) {
    std::vector<RefusedBlock> refused;
    for (std::size_t i = 0; i < options.blocks.size(); ++i) {
        RefusedBlock line;
        line.block = options.blocks[i].block;
        line.fullPath = FullPathOf(options.blocks[i].path);
        if (i < plan.size()) {
            line.bytes = std::to_string(plan[i].image.bytes.size());
            line.sha256 = plan[i].image.sha256;
        }
        refused.push_back(line);
    }
    return refused;
}

// One socket of a gang run: its parent checked everything and sends the plan.
int RunGangMember(const Options& options, CBlockLog& log) {
    std::vector<PlannedBlock> plan;
    std::string error;
    if (!ReadGangPlan(&plan, &error)) return Refuse(error);
    int exitCode = EXIT_ALL_WRITTEN;
    if (options.station) {
        exitCode = RunStation(options, plan, log);
    } else {
        const WriteSettings settings{.socket = options.socket,
                                     .quiet = options.quiet,
                                     .everyPercent = options.gangMember == GangMember::Live,
                                     .tag = options.tag,
                                     .showProgress = {}};
        exitCode = WriteBlocks(settings, plan, log);
    }
    NoteRunFinished();
    return exitCode;
}

int Run(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!ParseArguments(args, &options, &error)) return Refuse(error);
    switch (options.action) {
        case Action::Help:
            return WriteText(StdStream::Out, HELP_TEXT) ? EXIT_ALL_WRITTEN : EXIT_OUTPUT_FAILED;
        case Action::Version:
            return WriteText(StdStream::Out, VERSION_TEXT) ? EXIT_ALL_WRITTEN : EXIT_OUTPUT_FAILED;
        case Action::Probe:
            return ProbeSocket(options.socket);
        case Action::Write:
            break;
    }
    // From here on Ctrl+C stops the run in order: before any block, all are not attempted.
    InstallInterruptionHandler();
    if (options.gangMember != GangMember::None) SendOutputToGang();
    // Opened first, so that a run refused from here on is on record.
    CBlockLog log;
    if (!options.logPath.empty() && !log.Open(options.logPath, &error)) return Refuse(error);
    if (options.gangMember != GangMember::None) return RunGangMember(options, log);
    // A refused run is on record for every socket it named.
    const std::vector<unsigned> sockets =
        options.sockets.empty() ? std::vector<unsigned>{options.socket} : options.sockets;
    if (!options.manifestPath.empty() && !ReadManifest(&options, &error)) {
        for (unsigned socket : sockets) {
            RecordRefusedRun(socket, log, {{0, FullPathOf(options.manifestPath), "", ""}}, error,
                             options.tag);
        }
        return Refuse(error);
    }
    std::vector<PlannedBlock> plan;
    if (!LoadPlan(options, &plan, &error)) {
        for (unsigned socket : sockets) {
            RecordRefusedRun(socket, log, RefusedBlocks(options, plan), error, options.tag);
        }
        return Refuse(error);
    }
    int exitCode = EXIT_ALL_WRITTEN;
    if (options.station) {
        exitCode = options.sockets.empty() ? RunStation(options, plan, log)
                                           : RunStationSockets(options, plan, log);
    } else if (options.sockets.empty()) {
        if (options.json) SendRecordsTo(PrintJsonBlock);
        const WriteSettings settings{.socket = options.socket,
                                     .quiet = options.quiet,
                                     .console = IsConsole(StdStream::Err),
                                     .tag = options.tag,
                                     .showProgress = {}};
        exitCode = WriteBlocks(settings, plan, log);
        if (options.json &&
            !WriteLine(StdStream::Out,
                       JsonRunObject(exitCode, options.tag,
                                     {{.socket = options.socket, .exitCode = exitCode}})) &&
            exitCode == EXIT_ALL_WRITTEN) {
            exitCode = EXIT_OUTPUT_FAILED;
        }
    } else {
        exitCode = WriteGang(options, plan, log);
    }
    NoteRunFinished();
    return exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string utf8;
        if (!AppendUtf8FromWide(argv[i], &utf8)) {
            return Refuse("argument " + std::to_string(i) +
                          " is not valid Unicode text (a lone surrogate)");
        }
        args.push_back(utf8);
    }
    return Run(args);
}
