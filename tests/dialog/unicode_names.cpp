// Names outside the ANSI code page, typed or chosen.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/dialog/scenarios.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

// A name outside the ANSI code page, typed into the path box or chosen in the file dialog, never
// reaches the Update command as a look-alike (Omega.bin for Ωmega.bin): the path box's is refused
// by the command, the file dialog's by the framework; a name the code page holds downloads as
// before.
void UnicodeNames(Context& c) {
    VirtualCard::Reset();
    VirtualCard::Configure({{"Trace", 1}, {"ProgrammingTimeMs", 5}});
    LoaderUi ui;
    if (!Launch(c, ui)) return;
    c.log.ExpectEqual(static_cast<int>(GetACP()), 1252, "the ANSI code page under test");
    const std::wstring dir(c.workDir.begin(), c.workDir.end());
    WriteImage(c.workDir + "Omega.bin", 1000, 41);  // the look-alike, right beside it
    const std::wstring omega = dir + L"\u03A9mega.bin";
    WriteImage(omega, 700, 42);

    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), omega);
    SendMessageA(ui.Control(IDC_MEM_BLOCK), CB_SETCURSEL, 0, 0);
    ui.FocusControl(IDC_EXIT);
    Click(ui.Control(IDC_UPDATE));
    ExpectDialogMessage(c, ui,
                        "File name <" + c.workDir +
                            "?mega.bin> has characters outside the system's code page (shown as "
                            "?) !",
                        "refused-unicode-path");
    WaitFor([&] { return ui.FocusedControl() == IDC_FILE_PATH; }, 2000);
    c.log.ExpectEqual(ui.FocusedControl(), IDC_FILE_PATH, "focus after the refused name");
    c.log.Expect(IsIdle(ui), "idle after the refused name");

    const std::string kept = c.workDir + "kept.bin";
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), kept);
    Click(ui.Control(IDC_BROWSE));
    HWND open = ui.WaitForOwnedDialog(10000, "Open");
    if (c.log.Expect(open != nullptr, "Browse opens the Open dialog")) {
        HWND combo =
            FindWindowExA(GetDlgItem(open, kOpenDialogFileNameCombo), nullptr, "ComboBox", nullptr);
        SetWindowTextRemote(FindWindowExA(combo, nullptr, "Edit", nullptr), omega);
        Click(GetDlgItem(open, IDOK));
        WaitFor([&] { return !IsWindow(open); }, 5000);
        HWND box = ui.WaitForOwnedDialog(5000, "DuvoPcmciaLoader");
        if (c.log.Expect(box != nullptr, "the framework refuses the chosen name in a box")) {
            const std::wstring text = WideWindowText(GetDlgItem(box, 0xFFFF));
            c.log.Expect(text.find(omega) != std::wstring::npos, "the box names the file as it is");
            c.shots.Take("refused-unicode-choice");
            c.log.Expect(DismissMessageBox(box), "the box closes with OK");
        }
        c.log.ExpectEqual(ui.Text(IDC_FILE_PATH), kept, "path box after the refused choice");
    }
    c.log.ExpectEqual(VirtualCard::TracedRequests(), 0, "requests the card saw");
    c.log.Expect(!VirtualCard::BlockExists(2), "no block written");

    // é is in the code page: the file of that name is downloaded, as it always was.
    const std::string cafe = c.workDir + "caf\xE9.bin";
    const std::vector<BYTE> cafeImage = WriteImage(cafe, 900, 43);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), cafe);
    Click(ui.Control(IDC_UPDATE));
    HWND outcome = ui.WaitForOwnedDialog(kBoxTimeoutMs);
    if (c.log.Expect(outcome != nullptr, "the download of caf\xE9.bin reports its outcome")) {
        c.log.ExpectEqual(ReadMessageBox(outcome).text, kSuccessText, "outcome");
        DismissMessageBox(outcome);
    }
    c.log.Expect(VirtualCard::BlockHolds(2, cafeImage), "Block 2 holds caf\xE9.bin");
    ExitLoader(c, ui);
}
