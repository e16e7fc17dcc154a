// Exit pressed while a download runs.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/dialog/scenarios.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

void ExitDuringDownload(Context& c) {
    VirtualCard::Reset();
    VirtualCard::Configure({{"ProgrammingTimeMs", 1500}});
    DeleteStoredPath();
    LoaderUi ui;
    if (!Launch(c, ui)) return;
    const std::string path = c.workDir + "exit image.bin";
    const std::vector<BYTE> image = WriteImage(path, 1500, 9);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), path);
    Click(ui.Control(IDC_UPDATE));
    c.log.Expect(WaitFor([&] { return ui.Text(IDC_STATUS) == "Update flash.."; }, kBoxTimeoutMs),
                 "the download reaches the flash phase");
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(WaitFor([&] { return StoredPath() == path; }, 5000),
                 "Exit during the download stores the path at once");
    c.log.Expect(ui.IsRunning(), "the program waits for the running download");
    HWND box = ui.WaitForOwnedDialog(kBoxTimeoutMs);
    if (c.log.Expect(box != nullptr, "the running download still reports its outcome")) {
        c.log.ExpectEqual(ReadMessageBox(box).text, kSuccessText, "outcome");
        c.shots.Take("exit-during-download-outcome");
        DismissMessageBox(box);
    }
    DWORD exitCode = 1;
    c.log.Expect(ui.WaitForExit(10000, &exitCode), "the program ends after the download");
    c.log.ExpectEqual(exitCode, 0, "exit code");
    c.log.Expect(VirtualCard::BlockHolds(2, image), "Block 2 holds the image");
}
