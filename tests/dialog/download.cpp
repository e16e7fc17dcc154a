// Downloads that succeed, followed on the bar and the status line.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/dialog/scenarios.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

namespace {

// The About box opened while the image is sent runs its own modal loop: the WM_APP that
// arrives meanwhile goes to the dialog's window procedure, which has no handler for it, so the
// status stays "Downloading.." for the rest of the download while the bar goes on.
void ExpectNestedLoopKeepsSendingStatus(Context& c, LoaderUi& ui) {
    VirtualCard::Configure({{"ProgrammingTimeMs", 2500}});
    const std::string path = c.workDir + "third.bin";
    const std::vector<BYTE> image = WriteImage(path, 300, 12);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), path);
    SendMessageA(ui.Control(IDC_MEM_BLOCK), CB_SETCURSEL, 1, 0);
    Click(ui.Control(IDC_UPDATE));
    ui.SystemCommand(IDM_ABOUT_BOX);
    HWND about = ui.WaitForOwnedDialog(5000, "About quenlor");
    if (!c.log.Expect(about != nullptr, "the About box opens during a download")) return;
    Sleep(1500);  // the 300 bytes are out long before: WM_APP has been posted
    c.shots.Take("third-about-during-download");
    Click(GetDlgItem(about, IDOK));
    WaitFor([&] { return !IsWindow(about); }, 5000);

    std::vector<int> positions;
    bool sendingStatusThroughout = true;
    HWND box = nullptr;
    WaitFor(
        [&] {
            if ((box = ui.OwnedDialog()) != nullptr) return true;
            sendingStatusThroughout =
                sendingStatusThroughout && ui.Text(IDC_STATUS) == "Downloading..";
            Remember(positions, ui.ProgressPos());
            return false;
        },
        kBoxTimeoutMs);
    c.log.Note("bar after the About box: " + Join(positions));
    c.log.Expect(sendingStatusThroughout, "status stays \"Downloading..\" after the About box");
    c.log.Expect(positions.size() >= 2, "the bar still follows the flash phase");
    if (c.log.Expect(box != nullptr, "the download reports its outcome")) {
        c.log.ExpectEqual(ReadMessageBox(box).text, kSuccessText, "outcome");
        DismissMessageBox(box);
    }
    ExpectIdle(c, ui, "after the third download");
    c.log.Expect(VirtualCard::BlockHolds(3, image), "Block 3 holds the third image");
}

}  // namespace

void Download(Context& c) {
    VirtualCard::Reset();
    VirtualCard::Configure({{"ProgrammingTimeMs", 1000}});
    LoaderUi ui;
    if (!Launch(c, ui)) return;

    const std::string first = c.workDir + "first.bin";
    const std::vector<BYTE> firstImage = WriteImage(first, 3000, 4);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), first);
    Click(ui.Control(IDC_UPDATE));
    ExpectSuccessfulDownload(c, ui, "first-", ui.Control(IDC_STATUS));
    c.log.Expect(VirtualCard::BlockHolds(2, firstImage), "Block 2 holds the first image");

    // The second download names its block by typing it.
    const std::string second = c.workDir + "second.bin";
    const std::vector<BYTE> secondImage = WriteImage(second, 2000, 5);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), second);
    TypeBlockText(ui, "Block 14");
    Click(ui.Control(IDC_UPDATE));
    ExpectSuccessfulDownload(c, ui, "second-");
    c.log.Expect(VirtualCard::BlockHolds(14, secondImage), "Block 14 holds the second image");
    c.log.Expect(VirtualCard::BlockHolds(2, firstImage), "Block 2 still holds the first image");

    ExpectNestedLoopKeepsSendingStatus(c, ui);

    // An empty file goes to the download as it is: the card gets only the end packet, and with
    // no extended wait asked for there is no wait for the flash at all, so the download fails
    // after the status has turned to the flash phase.
    const std::string empty = c.workDir + "empty.bin";
    WriteImage(empty, 0, 6);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), empty);
    SendMessageA(ui.Control(IDC_MEM_BLOCK), CB_SETCURSEL, 1, 0);
    Click(ui.Control(IDC_UPDATE));
    ExpectDownloadError(c, ui, "Duvo0 not respond [87025353]\n", "Update flash..", "empty-file");
    ExpectIdle(c, ui, "after the empty file");
    ExitLoader(c, ui);
}
