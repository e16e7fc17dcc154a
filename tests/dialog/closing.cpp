// The ways a person tries to close the dialog, and what each stores.
#include <windows.h>

#include <string>

#include "tests/dialog/scenarios.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

namespace {

bool StaysOpen(const LoaderUi& ui) {
    Sleep(400);  // the dialog manager has had its chance to act
    return ui.IsRunning() && ui.DialogVisible();
}

void ClickCloseBox(const LoaderUi& ui) {
    RECT rect{};
    GetWindowRect(ui.dialog(), &rect);
    const int x = rect.right - GetSystemMetrics(SM_CXDLGFRAME) - GetSystemMetrics(SM_CXSIZE) / 2;
    const int y = rect.top + GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    SetForegroundWindow(ui.dialog());
    SetCursorPos(x, y);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
}

}  // namespace

void Closing(Context& c) {
    const std::string remembered = "C:\\images\\old image.bin";
    StorePath(remembered);
    {
        LoaderUi ui;
        if (!Launch(c, ui)) return;
        c.log.ExpectEqual(ui.Text(IDC_FILE_PATH), remembered, "remembered path restored");
        PostKey(ui.Control(IDC_EXIT), VK_ESCAPE);
        c.log.Expect(StaysOpen(ui), "Esc leaves the dialog open");
        ClickCloseBox(ui);
        c.log.Expect(StaysOpen(ui), "the close box leaves the dialog open");
        PostAltKey(ui.Control(IDC_EXIT), VK_F4);
        c.log.Expect(StaysOpen(ui), "Alt+F4 leaves the dialog open");
        ui.SystemCommand(SC_CLOSE);
        c.log.Expect(StaysOpen(ui), "Close in the system menu leaves the dialog open");
        c.shots.Take("still-open");
        c.log.ExpectEqual(StoredPath(), remembered, "nothing stored by those");

        const std::string typed = "Z:\\some dir\\typed  image (1).bin";
        SetWindowTextRemote(ui.Control(IDC_FILE_PATH), typed);
        ui.FocusControl(IDC_EXIT);
        PostKey(ui.Control(IDC_EXIT), VK_RETURN);
        c.log.Expect(ui.WaitForExit(10000), "Enter on the focused Exit ends the program");
        c.log.ExpectEqual(StoredPath(), typed, "Enter on Exit stores the typed path");
    }
    const std::string typed = StoredPath();
    {
        LoaderUi ui;
        if (!Launch(c, ui)) return;
        c.log.ExpectEqual(ui.Text(IDC_FILE_PATH), typed, "typed path restored exactly");
        ui.FocusControl(IDC_FILE_PATH);
        SetWindowTextRemote(ui.Control(IDC_FILE_PATH), "C:\\never stored.bin");
        PostKey(ui.Control(IDC_FILE_PATH), VK_RETURN);
        c.log.Expect(ui.WaitForExit(10000), "Enter in the path box ends the program");
        c.log.ExpectEqual(StoredPath(), typed, "Enter in the path box stores nothing");
    }
    {
        LoaderUi ui;
        if (!Launch(c, ui)) return;
        SetWindowTextRemote(ui.Control(IDC_FILE_PATH), "");
        ExitAndExpectStored(c, ui, "");
    }
    {
        LoaderUi ui;
        if (!Launch(c, ui)) return;
        c.log.ExpectEqual(ui.Text(IDC_FILE_PATH), "", "an empty stored path gives an empty box");
        ExitAndExpectStored(c, ui, "");
    }
}
