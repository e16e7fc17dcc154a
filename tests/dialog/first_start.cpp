// First start: what the dialog shows, the system menu and its About box, Browse.
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/dialog/scenarios.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

namespace {

// Presses the keys together, as a chord, through the system's input queue, and releases them.
void TypeKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        inputs.push_back(down);
    }
    for (auto key = keys.end(); key != keys.begin();) {
        INPUT up{};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = *--key;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(up);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// ---- scenarios ---------------------------------------------------------------------------

}  // namespace

void FirstStart(Context& c) {
    DeleteStoredPath();
    LoaderUi ui;
    if (!Launch(c, ui)) return;
    c.shots.Take("first-start");
    c.log.ExpectEqual(WindowText(ui.dialog()), "DuVoPcmciaLoader", "caption");
    std::string entries;
    for (int i = 0; i < ui.ComboCount(); ++i) {
        entries += ui.ComboItem(i) + ",";
    }
    c.log.ExpectEqual(entries,
                      "Block 2,Block 3,Block 4,Block 5,Block 6,Block 7,Block 8,Block 9,Block 10,"
                      "Block 11,Block 12,Block 13,Block 14,",
                      "block list");
    c.log.ExpectEqual(ui.ComboSelection(), 0, "selected entry");
    c.log.ExpectEqual(ui.Text(IDC_MEM_BLOCK), "Block 2", "block list text");
    c.log.ExpectEqual(ui.Text(IDC_FILE_PATH), "", "path box");
    c.log.ExpectEqual(ui.ProgressPos(), 0, "progress");
    c.log.ExpectEqual(ui.Text(IDC_STATUS), "download status", "status");
    c.log.ExpectEqual(ui.FocusedControl(), IDC_EXIT, "control with the focus");
    c.log.Expect(ui.Enabled(IDC_UPDATE), "Update enabled");

    // The system menu as a user opens it (Alt+Space); Up from its first entry lands on the last
    // one, ours (Wine adds an "About Wine" entry of its own that shares our mnemonic).
    SetForegroundWindow(ui.dialog());
    TypeKeys({VK_MENU, VK_SPACE});
    HWND menu = nullptr;
    c.log.Expect(WaitFor(
                     [&] {
                         return (menu = FindWindowA("#32768", nullptr)) != nullptr &&
                                IsWindowVisible(menu);
                     },
                     5000),
                 "Alt+Space opens the system menu");
    TypeKeys({VK_UP});
    Sleep(300);  // let the menu paint before the picture
    c.shots.Take("system-menu");
    TypeKeys({VK_RETURN});
    HWND about = ui.WaitForOwnedDialog(5000, "About quenlor");
    if (c.log.Expect(about != nullptr, "the About entry opens the About box")) {
        HWND version = FindWindowExA(about, nullptr, "Static", "duvo pcmcia Version 1.0");
        c.log.Expect(version != nullptr, "About box shows \"duvo pcmcia Version 1.0\"");
        c.shots.Take("about-box");
        PostKey(GetDlgItem(about, IDOK), VK_ESCAPE);
        c.log.Expect(WaitFor([&] { return !IsWindow(about); }, 5000), "Esc closes the About box");
    }

    const std::string kept = "C:\\kept\\path.bin";
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), kept);
    Click(ui.Control(IDC_BROWSE));
    HWND open = ui.WaitForOwnedDialog(10000, "Open");
    if (c.log.Expect(open != nullptr, "Browse opens the Open dialog")) {
        c.shots.Take("browse-open-dialog");
        Click(GetDlgItem(open, IDCANCEL));
        WaitFor([&] { return !IsWindow(open); }, 5000);
        c.log.ExpectEqual(ui.Text(IDC_FILE_PATH), kept, "path after Browse, Cancel");
    }

    const std::string chosen = c.workDir + "chosen image.bin";
    WriteImage(chosen, 10, 1);
    Click(ui.Control(IDC_BROWSE));
    open = ui.WaitForOwnedDialog(10000, "Open");
    if (c.log.Expect(open != nullptr, "Browse opens the Open dialog again")) {
        // The file name box: an extended combo box whose edit field sits in its inner combo box.
        HWND combo =
            FindWindowExA(GetDlgItem(open, kOpenDialogFileNameCombo), nullptr, "ComboBox", nullptr);
        HWND name = FindWindowExA(combo, nullptr, "Edit", nullptr);
        // The dialog may open where the last file was chosen: name the file in full.
        SetWindowTextRemote(name, chosen);
        Click(GetDlgItem(open, IDOK));
        c.log.Expect(WaitFor([&] { return ui.Text(IDC_FILE_PATH) == chosen; }, 5000),
                     "path after Browse, Open: \"" + ui.Text(IDC_FILE_PATH) + "\", expected \"" +
                         chosen + "\"");
        c.shots.Take("browse-chosen");
    }
    ExitAndExpectStored(c, ui, chosen);
}
