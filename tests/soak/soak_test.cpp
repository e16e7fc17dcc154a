// Fifty downloads in one loader session, a quarter of them failing in different ways, driven
// through the real dialog. The loader and the driver's host process (winedevice.exe) are sampled
// after a warm-up and after the last download: handles, GDI and USER objects and private bytes
// must stay flat, and every block file must hold the last image written to it.
//
//   soak_test.exe LOADER_EXE WORK_DIR
//
// At each sample it writes WORK_DIR\sample-NAME.txt and waits up to 30 s for
// WORK_DIR\sample-NAME.done, in which a script that took the same sample from Linux meanwhile
// names the peak resident sizes (VmHWM) of the loader and of the winedevice.exe that has the
// driver mapped. Wine reports VmHWM as the peak working set, which ties the two views together.
//
// What Wine 8 reports for another process, and what stands in where it reports nothing:
// - GetProcessHandleCount succeeds with 0: the handles are counted in the system's handle list
//   (NtQuerySystemInformation, SystemHandleInformation) instead.
// - GetGuiResources is not implemented (0, ERROR_CALL_NOT_IMPLEMENTED), and the 32-bit PEB's
//   GDI handle table pointer is null: GDI objects cannot be counted from outside. USER objects are
//   counted as the process's windows. The stand-in counts are checked on this process first.
// - GetProcessMemoryInfo gives PrivateUsage 0 (the working set is Linux's VmRSS): private bytes are
// the
//   committed private regions that VirtualQueryEx lists. For the 64-bit driver host, out of a
//   32-bit program's reach, the Linux figures stand in.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/loader_driver/check_log.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/loader_ui.h"
#include "tests/loader_driver/virtual_card.h"
#include "tests/soak/process_usage.h"

namespace {

// What may grow between the samples without counting as a leak. A leak of one handle or one GUI
// object per download would add 46; one image buffer per download, megabytes. Lazy one-time
// allocations and heap fragmentation stay below these.
constexpr long long kHandleTolerance = 2;
constexpr long long kGuiObjectTolerance = 2;
constexpr long long kPrivateBytesTolerance = 256 * 1024;

struct Failure {
    CardSettings settings;
    std::string text;
};

// One download: the image size, the block, and for a failing one the card's fault.
struct Download {
    size_t size;
    DWORD block;
    const Failure* failure;
};

const Failure kFailures[] = {
    {{{"FailRequestIndex", 0}}, "Duvo0 failed [0000045D]\n"},
    {{{"FailRequestIndex", 1}, {"FailError", 21}}, "Duvo0 failed to intialize [00000015]\n"},
    {{{"RequestReply", 1}}, "Duvo0 not respond [05419368]\n"},
    {{{"RequestReply", 3}}, "Duvo0 not respond [05419368]\n"},
    {{{"SilentAfterChunk", 2}}, "Duvo0 not respond [87025353]\n"},
    {{{"Flash", 1}}, "Duvo0 not respond [87025353]\n"},
    {{{"AckReply", 1}, {"AckFaultChunk", 1}, {"AckFaultAttempts", 100}},
     "Duvo0 not respond [87025353]\n"},
    {{{"RefuseHostPackets", 1}}, "Duvo0 not respond [05419368]\n"},
};
constexpr size_t kFailureKinds = sizeof(kFailures) / sizeof(kFailures[0]);
// An empty image sends only the end packet, and without the extended flash wait the host does
// not wait for flash done at all: such a download is reported as failed.
const Failure kEmptyImage = {{{"ProgrammingTimeMs", 5}}, "Duvo0 not respond [87025353]\n"};

// 50 downloads, sizes 0 to 65,537 bytes over the chunk boundaries; every fourth one fails, and
// the empty image.
std::vector<Download> Plan() {
    const size_t sizes[] = {0,    1,     127,  128,  129,   255,  256,  257,  1000, 4095,
                            4096, 4097,  8191, 8192, 65537, 300,  513,  2049, 3000, 5000,
                            640,  65536, 700,  1500, 2500,  3583, 6000, 7777, 9000, 100,
                            200,  333,   444,  555,  666,   777,  888,  999,  1111, 1234,
                            2345, 3456,  4567, 5678, 6789,  7890, 8000, 10,   64,   65535};
    std::vector<Download> plan;
    unsigned failed = 0;
    for (size_t i = 0; i < sizeof(sizes) / sizeof(sizes[0]); ++i) {
        const Failure* failure = sizes[i] == 0 ? &kEmptyImage : nullptr;
        if (i % 4 == 3) {
            failure = &kFailures[failed++ % kFailureKinds];
        }
        plan.push_back({sizes[i], static_cast<DWORD>(2 + i % 13), failure});
    }
    return plan;
}

// The stand-in counts must see objects come and go: checked on this process first.
bool StandInsCount(CheckLog& log) {
    const DWORD self = GetCurrentProcessId();
    HWND parent = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    const Usage before = Sample(self, true);
    HANDLE events[5];
    for (HANDLE& event : events) {
        event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    HWND child =
        CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr);
    const Usage during = Sample(self, true);
    DestroyWindow(child);
    DestroyWindow(parent);
    for (HANDLE event : events) {
        CloseHandle(event);
    }
    bool ok = log.ExpectEqual(during.handles - before.handles, 5, "handle count sees 5 events");
    ok =
        log.ExpectEqual(during.userObjects - before.userObjects, 1, "window count sees 1 window") &&
        ok;
    return ok;
}

// The driver's host: the winedevice.exe whose peak working set is the peak resident size that
// Linux gives for the process with the driver mapped; 0 when none matches.
DWORD DriverHost(long long peakKb) {
    for (DWORD pid : ProcessesNamed("winedevice.exe")) {
        if (Sample(pid, false).peakWorkingSet == peakKb * 1024) {
            return pid;
        }
    }
    return 0;
}

void Print(const char* sample, const char* who, DWORD pid, const Usage& u) {
    std::printf(
        "sample %-6s %-7s pid %5lu: handles %lld, gdi_objects %lld, user_objects %lld, "
        "private_bytes %lld, working_set %lld\n",
        sample, who, static_cast<unsigned long>(pid), u.handles, u.gdiObjects, u.userObjects,
        u.privateBytes, u.workingSet);
    std::fflush(stdout);
}

struct LinuxPeaks {
    long long loaderKb = -1;
    long long hostKb = -1;
};

// Lets a script sample the same processes from Linux: announces the sample, waits for its
// answer, and reads the peak resident sizes it names.
LinuxPeaks HandOver(const std::string& workDir, const std::string& name) {
    const std::string base = workDir + "sample-" + name;
    HANDLE file =
        CreateFileA((base + ".txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    const std::string done = base + ".done";
    WaitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
    LinuxPeaks peaks;
    if (FILE* in = std::fopen(done.c_str(), "r")) {
        if (std::fscanf(in, "loader_hwm_kb=%lld host_hwm_kb=%lld", &peaks.loaderKb,
                        &peaks.hostKb) != 2) {
            peaks = {};
        }
        std::fclose(in);
    }
    return peaks;
}

void ExpectFlat(CheckLog& log, const char* who, const char* what, long long before, long long after,
                long long tolerance) {
    if (before < 0 || after < 0) {
        log.Note(std::string(who) + " " + what + ": not reported");
        return;
    }
    log.Expect(after - before <= tolerance,
               std::string(who) + " " + what + " flat: " + std::to_string(before) + " -> " +
                   std::to_string(after) + " (tolerance " + std::to_string(tolerance) + ")");
}

// Runs one download through the dialog and checks its outcome box; true when it went as planned.
bool RunDownload(CheckLog& log, LoaderUi& ui, const std::string& path, const Download& d,
                 size_t index) {
    VirtualCard::Configure(d.failure ? d.failure->settings
                                     : CardSettings{{"ProgrammingTimeMs", 5}});
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), path);
    SendMessageA(ui.Control(IDC_MEM_BLOCK), CB_SETCURSEL, d.block - 2, 0);
    Click(ui.Control(IDC_UPDATE));
    HWND box = ui.WaitForOwnedDialog(kBoxTimeoutMs);
    const std::string what = "download " + std::to_string(index + 1) + " (" +
                             std::to_string(d.size) + " bytes, block " + std::to_string(d.block) +
                             ")";
    if (!log.Expect(box != nullptr, what + " ends with a message box")) {
        return false;
    }
    const MessageBoxView view = ReadMessageBox(box);
    const std::string expected = d.failure ? d.failure->text : kSuccessText;
    const bool ok = log.ExpectEqual(view.text, expected, what + " outcome");
    log.Expect(DismissMessageBox(box), what + ": the box closes with OK");
    WaitFor([&] { return IsIdle(ui); }, 10000);
    log.Expect(ui.Enabled(IDC_UPDATE), what + ": Update enabled again");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: soak_test LOADER_EXE WORK_DIR\n");
        return 2;
    }
    const std::string workDir = argv[2];
    CheckLog log;
    VirtualCard::Reset();
    VirtualCard::Configure({{"ProgrammingTimeMs", 5}});
    if (!StandInsCount(log)) return 1;
    LoaderUi ui;
    if (!log.Expect(ui.Launch(argv[1]), "the loader's dialog appears")) return 1;
    DWORD loaderPid = 0;
    GetWindowThreadProcessId(ui.dialog(), &loaderPid);
    PrintWineReport(loaderPid);
    DWORD hostPid = 0;

    const std::vector<Download> plan = Plan();
    std::map<DWORD, std::vector<BYTE>> blocks;  // what each block must hold
    const DWORD start = GetTickCount();
    Usage loaderBefore, hostBefore;
    // The first four downloads (three successes, one failure) warm up what the loader and the
    // driver allocate once; the samples frame the 46 after them.
    constexpr size_t kWarmUp = 4;
    size_t completed = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        if (i == kWarmUp) {
            const LinuxPeaks peaks = HandOver(workDir, "before");
            hostPid = DriverHost(peaks.hostKb);
            log.Expect(hostPid != 0, "a winedevice.exe has the driver host's peak working set");
            loaderBefore = Sample(loaderPid, true);
            hostBefore = Sample(hostPid, false);
            log.ExpectEqual(loaderBefore.peakWorkingSet, peaks.loaderKb * 1024,
                            "Linux sampled the loader (same peak working set)");
            Print("before", "loader", loaderPid, loaderBefore);
            Print("before", "host", hostPid, hostBefore);
        }
        const std::string path = workDir + "soak-" + std::to_string(i) + ".bin";
        const std::vector<BYTE> image = WriteImage(path, plan[i].size, 1000 + i);
        if (!RunDownload(log, ui, path, plan[i], i)) {
            break;  // the downloads after it would see this one's boxes
        }
        ++completed;
        if (!plan[i].failure) {
            blocks[plan[i].block] = image;
            log.Expect(VirtualCard::BlockHolds(plan[i].block, image),
                       "block " + std::to_string(plan[i].block) + " holds download " +
                           std::to_string(i + 1));
        }
        DeleteFileA(path.c_str());
    }
    const LinuxPeaks peaks = HandOver(workDir, "after");
    const Usage loaderAfter = Sample(loaderPid, true);
    const Usage hostAfter = Sample(hostPid, false);
    log.ExpectEqual(hostAfter.peakWorkingSet, peaks.hostKb * 1024,
                    "the driver ran in one host process throughout");
    Print("after", "loader", loaderPid, loaderAfter);
    Print("after", "host", hostPid, hostAfter);
    log.ExpectEqual(static_cast<long long>(completed), static_cast<long long>(plan.size()),
                    "downloads that ended as planned");
    std::printf("soak: %zu downloads in %lu s\n", completed,
                static_cast<unsigned long>((GetTickCount() - start) / 1000));

    for (const auto& [block, image] : blocks) {
        log.Expect(VirtualCard::BlockHolds(block, image),
                   "block " + std::to_string(block) + " still holds its last image");
    }
    for (const auto& [who, before, after] : {std::tuple{"loader", loaderBefore, loaderAfter},
                                             std::tuple{"host", hostBefore, hostAfter}}) {
        ExpectFlat(log, who, "handles", before.handles, after.handles, kHandleTolerance);
        ExpectFlat(log, who, "GDI objects", before.gdiObjects, after.gdiObjects,
                   kGuiObjectTolerance);
        ExpectFlat(log, who, "USER objects", before.userObjects, after.userObjects,
                   kGuiObjectTolerance);
        ExpectFlat(log, who, "private bytes", before.privateBytes, after.privateBytes,
                   kPrivateBytesTolerance);
    }
    Click(ui.Control(IDC_EXIT));
    log.Expect(ui.WaitForExit(10000), "Exit ends the program");
    std::printf("soak: %d checks, %d failed\n", log.checks(), log.failures());
    return log.failures() == 0 ? 0 : 1;
}
