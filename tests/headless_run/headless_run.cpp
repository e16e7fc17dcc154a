// `make run` without a display: one whole download of a sample image into Block 2 through the
// loader's dialog, narrated line by line, with a screenshot of each phase.
//
//   headless_run.exe LOADER_EXE WORK_DIR
//
// WORK_DIR (a Windows path ending in a backslash) receives the image and the screenshots.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

namespace {

void HeadlessRun(Context& c) {
    VirtualCard::Reset();
    VirtualCard::Configure({{"ProgrammingTimeMs", 1000}});
    LoaderUi ui;
    if (!Launch(c, ui)) return;
    c.shots.Take("idle");
    // A folder a user would have, so that the guide's picture shows a path like theirs.
    CreateDirectoryA("C:\\Firmware", nullptr);
    const std::string path = "C:\\Firmware\\boot.bin";
    const std::vector<BYTE> image = WriteImage(path, 4000, 11);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), path);
    std::printf("path box: %s\nblock list: %s\nstatus: %s\n", ui.Text(IDC_FILE_PATH).c_str(),
                ui.Text(IDC_MEM_BLOCK).c_str(), ui.Text(IDC_STATUS).c_str());
    std::printf("pressing Update\n");
    std::fflush(stdout);
    Click(ui.Control(IDC_UPDATE));

    std::string status = ui.Text(IDC_STATUS);
    int shownPos = -1;
    HWND box = nullptr;
    bool shotThisPhase = false;
    WaitFor(
        [&] {
            if ((box = ui.OwnedDialog()) != nullptr) {
                return true;
            }
            const std::string now = ui.Text(IDC_STATUS);
            const int pos = ui.ProgressPos();
            if (now != status || (pos / 25 != shownPos / 25 && pos != shownPos)) {
                if (now != status) {
                    shotThisPhase = false;
                }
                status = now;
                shownPos = pos;
                std::printf("status: %-16s bar: %3d%%\n", status.c_str(), pos);
                std::fflush(stdout);
            }
            if (!shotThisPhase && pos > 0) {
                c.shots.Take(status == "Update flash.." ? "programming-flash" : "sending");
                shotThisPhase = true;
            }
            return false;
        },
        kBoxTimeoutMs);
    if (!c.log.Expect(box != nullptr, "the download reports its outcome")) return;
    const MessageBoxView view = ReadMessageBox(box);
    std::printf("message box \"%s\": %s\n", view.caption.c_str(), view.text.c_str());
    c.shots.Take("outcome");
    DismissMessageBox(box);
    WaitFor([&] { return IsIdle(ui); }, 5000);
    std::printf("status: %-16s bar: %3d%%  Update %s\n", ui.Text(IDC_STATUS).c_str(),
                ui.ProgressPos(), ui.Enabled(IDC_UPDATE) ? "enabled" : "disabled");
    c.shots.Take("idle-again");
    const bool same = VirtualCard::BlockHolds(2, image);
    std::printf("block02.bin %s the %zu-byte image (padded with zeros to %zu bytes)\n",
                same ? "equals" : "DIFFERS FROM", image.size(), (image.size() + 127) / 128 * 128);
    c.log.Expect(view.text == kSuccessText && same, "the block holds the image");
    ExitLoader(c, ui);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: headless_run LOADER_EXE WORK_DIR\n");
        return 2;
    }
    CheckLog log;
    Screenshots shots(argv[2]);
    Context context{log, shots, argv[1], argv[2]};
    HeadlessRun(context);
    return log.failures() == 0 && log.checks() > 0 ? 0 : 1;
}
