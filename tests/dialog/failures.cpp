// Downloads the card fails, each with its error box.
#include <windows.h>

#include <string>

#include "tests/dialog/scenarios.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

void Failures(Context& c) {
    VirtualCard::Reset();
    LoaderUi ui;
    if (!Launch(c, ui)) return;
    const std::string image = c.workDir + "image.bin";
    WriteImage(image, 1000, 7);

    auto fail = [&](const CardSettings& settings, const std::string& path, const std::string& text,
                    const std::string& shot) {
        // A failure after the image is out leaves the flash phase's status behind the box.
        const std::string status =
            shot == "error-flash-never-done" ? "Update flash.." : "Downloading..";
        VirtualCard::Configure(settings);
        SetWindowTextRemote(ui.Control(IDC_FILE_PATH), path);
        Click(ui.Control(IDC_UPDATE));
        ExpectDownloadError(c, ui, text, status, shot);
        ExpectIdle(c, ui, "after \"" + shot + "\"");
        c.log.Expect(ui.OwnedDialog() == nullptr, "no success message after \"" + shot + "\"");
    };
    fail({{"RequestReply", 1}}, image, "Duvo0 not respond [05419368]\n", "error-no-ready-reply");
    fail({{"ProgrammingTimeMs", 5}, {"SilentAfterChunk", 3}}, image,
         "Duvo0 not respond [87025353]\n", "error-transfer");
    fail({{"ProgrammingTimeMs", 5}, {"Flash", 1}}, image, "Duvo0 not respond [87025353]\n",
         "error-flash-never-done");
    const std::string largest = c.workDir + "largest.bin";
    WriteImage(largest, 917503, 8);
    fail({{"RequestReply", 1}}, largest, "Duvo0 not respond [05419368]\n", "largest-file-accepted");

    if (c.log.Expect(VirtualCard::StopDriver(), "the card's driver stops")) {
        fail({}, image, "Duvo0 open failed [00000002]\n", "error-no-card");
        c.log.Expect(VirtualCard::StartDriver(), "the card's driver starts again");
    }
    c.log.Expect(!VirtualCard::BlockExists(2), "no block written");
    ExitLoader(c, ui);
}
