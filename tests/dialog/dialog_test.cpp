// Drives the real loader dialog through whole scenarios, from a second program in the same Wine
// session: it types, selects, clicks and presses keys as a user would, and checks what the
// dialog shows, what it stores in its profile and what reaches the virtual card.
//
//   dialog_test.exe SCENARIO LOADER_EXE WORK_DIR
//
// WORK_DIR (a Windows path ending in a backslash) receives the images and the screenshots.
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "tests/dialog/scenarios.h"

int main(int argc, char** argv) {
    const std::map<std::string, std::function<void(Context&)>> scenarios = {
        {"first-start", FirstStart},    {"closing", Closing},
        {"refusals", Refusals},         {"download", Download},
        {"failures", Failures},         {"exit-during-download", ExitDuringDownload},
        {"wait-loop-cpu", WaitLoopCpu}, {"unicode-names", UnicodeNames},
        {"socket-in-use", SocketInUse},
    };
    if (argc != 4 || scenarios.count(argv[1]) == 0) {
        std::fprintf(stderr, "usage: dialog_test SCENARIO LOADER_EXE WORK_DIR\n");
        return 2;
    }
    CheckLog log;
    Screenshots shots(argv[3]);
    Context context{log, shots, argv[2], argv[3]};
    scenarios.at(argv[1])(context);
    std::printf("%s: %d checks, %d failed\n", argv[1], log.checks(), log.failures());
    return log.failures() == 0 && log.checks() > 0 ? 0 : 1;
}
