// duvoload: the console loader. Checks every argument, the manifest, every file and the log
// before the card is touched; then writes the blocks one download each.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/duvoload/block_writer.h"
#include "app/duvoload/help_text.h"
#include "app/duvoload/interruption.h"
#include "app/duvoload/manifest.h"
#include "app/duvoload/options.h"
#include "app/duvoload/outcome.h"
#include "app/duvoload/progress_line.h"
#include "app/duvoload/version_text.h"

namespace {

int Refuse(const std::string& message) {
    std::fprintf(stderr, "duvoload: %s\n", message.c_str());
    return EXIT_USAGE;
}

std::string FullPathOf(const std::string& path) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

bool ReadManifest(Options* options, std::string* error) {
    std::string text;
    std::string reason;
    if (!ReadTextFile(options->manifestPath, &text, &reason)) {
        *error = "option --manifest: " + reason;
        return false;
    }
    return ParseManifest(text, options->manifestPath, &options->blocks, error);
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

int Run(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!ParseArguments(args, &options, &error)) return Refuse(error);
    switch (options.action) {
        case Action::Help:
            std::fputs(HELP_TEXT, stdout);
            return EXIT_ALL_WRITTEN;
        case Action::Version:
            std::fputs(VERSION_TEXT, stdout);
            return EXIT_ALL_WRITTEN;
        case Action::Probe:
            return ProbeSlot(options.slot);
        case Action::Write:
            break;
    }
    // From here on Ctrl+C stops the run in order: before any block, all are not attempted.
    InstallInterruptionHandler();
    if (!options.manifestPath.empty() && !ReadManifest(&options, &error)) return Refuse(error);
    std::vector<PlannedBlock> plan;
    if (!LoadPlan(options, &plan, &error)) return Refuse(error);
    CBlockLog log;
    if (!options.logPath.empty() && !log.Open(options.logPath, &error)) return Refuse(error);
    const WriteSettings settings{options.slot, options.quiet, StderrIsConsole()};
    const int exitCode = WriteBlocks(settings, plan, log);
    NoteRunFinished();
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return Run(args);
}
