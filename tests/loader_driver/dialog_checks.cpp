#include "tests/loader_driver/dialog_checks.h"

namespace {

constexpr const char kIniPath[] = "C:\\windows\\DuvoPcmciaLoader.INI";
constexpr const char kSection[] = "LastFileName";
constexpr const char kEntry[] = "DuvoPcmciaLoader";
constexpr const char kMissing[] = "<no entry>";

// What the dialog showed while one download ran, sampled until a box of its owner appeared.
struct DownloadView {
    std::vector<std::string> statuses;  // each status once, in the order first seen
    std::vector<int> sendingPositions;  // distinct bar positions under "Downloading.."
    std::vector<int> flashPositions;    // distinct bar positions under "Update flash.."
    bool updateDisabledThroughout = true;
    HWND box = nullptr;
    int foreignAppPostedAt = -1;          // bar position when WM_APP went to another window
    bool sendingAfterForeignApp = false;  // "Downloading.." with the bar further on afterwards
};

DownloadView WatchDownload(Context& c, const LoaderUi& ui, const std::string& shotPrefix,
                           HWND foreign) {
    DownloadView view;
    bool shotSending = false;
    bool shotFlash = false;
    WaitFor(
        [&] {
            if ((view.box = ui.OwnedDialog()) != nullptr) {
                return true;
            }
            const std::string status = ui.Text(IDC_STATUS);
            const int pos = ui.ProgressPos();
            // The idle status may still show until the posted click has been handled.
            const bool started = !view.statuses.empty() || status != "download status";
            if (started && (view.statuses.empty() || view.statuses.back() != status)) {
                view.statuses.push_back(status);
            }
            if (status == "Downloading..") {
                Remember(view.sendingPositions, pos);
                if (foreign != nullptr && pos > 0 && view.foreignAppPostedAt < 0) {
                    PostMessageA(foreign, WM_APP, 0, 0);
                    view.foreignAppPostedAt = pos;
                }
                view.sendingAfterForeignApp =
                    view.sendingAfterForeignApp ||
                    (view.foreignAppPostedAt >= 0 && pos > view.foreignAppPostedAt);
                if (!shotSending && pos > 0) {
                    c.shots.Take(shotPrefix + "sending");
                    shotSending = true;
                }
            } else if (status == "Update flash..") {
                Remember(view.flashPositions, pos);
                if (!shotFlash && pos > 0) {
                    c.shots.Take(shotPrefix + "programming-flash");
                    shotFlash = true;
                }
            }
            // Once the bar has moved, the command is past disabling Update (the status line
            // changes a step earlier).
            if (pos > 0) {
                view.updateDisabledThroughout =
                    view.updateDisabledThroughout && !ui.Enabled(IDC_UPDATE);
            }
            return false;
        },
        kBoxTimeoutMs);
    return view;
}

bool Rises(const std::vector<int>& positions) {
    for (size_t i = 1; i < positions.size(); ++i) {
        if (positions[i] < positions[i - 1]) {
            return false;
        }
    }
    return positions.size() >= 2;
}

}  // namespace

std::string StoredPath() {
    char value[1024] = {};
    GetPrivateProfileStringA(kSection, kEntry, kMissing, value, sizeof(value), kIniPath);
    return value;
}

void StorePath(const std::string& path) {
    WritePrivateProfileStringA(kSection, kEntry, path.c_str(), kIniPath);
}

void DeleteStoredPath() {
    DeleteFileA(kIniPath);
}

bool Launch(Context& c, LoaderUi& ui) {
    SetCurrentDirectoryA(c.workDir.c_str());
    return c.log.Expect(ui.Launch(c.loaderExe), "the loader's dialog appears");
}

void ExitLoader(Context& c, LoaderUi& ui) {
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(ui.WaitForExit(10000), "Exit ends the program");
}

void ExitAndExpectStored(Context& c, LoaderUi& ui, const std::string& expected) {
    ExitLoader(c, ui);
    c.log.ExpectEqual(StoredPath(), expected, "stored path");
}

void TypeBlockText(const LoaderUi& ui, const std::string& text) {
    HWND edit = FindWindowExA(ui.Control(IDC_MEM_BLOCK), nullptr, "Edit", nullptr);
    ui.FocusControl(IDC_MEM_BLOCK);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    PostMessageA(edit, WM_CHAR, VK_BACK, 1);
    for (char c : text) {
        PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1);
    }
    WaitFor([&] { return WindowText(edit) == text; }, 3000);
}

void ExpectDialogMessage(Context& c, const LoaderUi& ui, const std::string& text,
                         const std::string& shot) {
    HWND box = ui.WaitForOwnedDialog(kBoxTimeoutMs);
    if (!c.log.Expect(box != nullptr, "a message box \"" + text + "\" appears")) {
        return;
    }
    const MessageBoxView view = ReadMessageBox(box);
    c.log.ExpectEqual(view.text, text, "message text");
    c.log.ExpectEqual(view.caption, "Update", "message caption");
    c.log.Expect(view.okOnly && !view.icon, "\"" + text + "\": OK alone (" +
                                                std::to_string(view.okOnly) + "), no icon (" +
                                                std::to_string(!view.icon) + ")");
    if (!shot.empty()) {
        c.shots.Take(shot);
    }
    c.log.Expect(DismissMessageBox(box), "the message box closes with OK");
}

void ExpectDownloadError(Context& c, const LoaderUi& ui, const std::string& text,
                         const std::string& status, const std::string& shot) {
    HWND box = ui.WaitForOwnedDialog(kBoxTimeoutMs);
    if (!c.log.Expect(box != nullptr, "an error box \"" + text + "\" appears")) {
        return;
    }
    const MessageBoxView view = ReadMessageBox(box);
    c.log.ExpectEqual(view.text, text, "error text");
    c.log.ExpectEqual(view.caption, "Update", "error caption");
    c.log.Expect(view.okOnly && view.icon, "\"" + text + "\": OK and the error icon");
    // The worker posts WM_APP before it shows the box: the dialog may take it a moment later.
    WaitFor([&] { return ui.Text(IDC_STATUS) == status; }, 5000);
    c.log.ExpectEqual(ui.Text(IDC_STATUS), status, "status while the error box is up");
    c.log.Expect(!ui.Enabled(IDC_UPDATE), "Update disabled while the error box is up");
    c.shots.Take(shot);
    c.log.Expect(DismissMessageBox(box), "the error box closes with OK");
}

void ExpectSuccessBox(Context& c, const LoaderUi& ui, const std::string& what) {
    HWND box = ui.WaitForOwnedDialog(kBoxTimeoutMs);
    if (c.log.Expect(box != nullptr, what + " reports its outcome")) {
        c.log.ExpectEqual(ReadMessageBox(box).text, kSuccessText, what + ": outcome");
        c.log.Expect(DismissMessageBox(box), what + ": the box closes with OK");
    }
}

bool IsIdle(const LoaderUi& ui) {
    return ui.Text(IDC_STATUS) == "download status" && ui.ProgressPos() == 0 &&
           ui.Enabled(IDC_UPDATE);
}

void ExpectIdle(Context& c, const LoaderUi& ui, const std::string& when) {
    WaitFor([&] { return IsIdle(ui); }, 5000);
    c.log.ExpectEqual(ui.Text(IDC_STATUS), "download status", "status " + when);
    c.log.ExpectEqual(ui.ProgressPos(), 0, "progress " + when);
    c.log.Expect(ui.Enabled(IDC_UPDATE), "Update enabled " + when);
}

void ExpectSuccessfulDownload(Context& c, LoaderUi& ui, const std::string& shotPrefix,
                              HWND foreign) {
    const DownloadView view = WatchDownload(c, ui, shotPrefix, foreign);
    if (foreign != nullptr) {
        // Dispatched to that window, it leaves the dialog in its sending phase.
        c.log.Expect(view.foreignAppPostedAt > 0 && view.sendingAfterForeignApp,
                     "a WM_APP for another window keeps \"Downloading..\" (posted at " +
                         std::to_string(view.foreignAppPostedAt) + ")");
    }
    c.log.Note("bar while sending: " + Join(view.sendingPositions));
    c.log.Note("bar while programming: " + Join(view.flashPositions));
    c.log.Expect(view.statuses.size() >= 2 && view.statuses[0] == "Downloading.." &&
                     view.statuses[1] == "Update flash..",
                 "status goes \"Downloading..\" then \"Update flash..\"");
    // The transfer sets the percent to 0 just before it posts WM_APP, so the bar may show 0
    // under "Downloading.." once more before the status changes.
    std::vector<int> sending = view.sendingPositions;
    if (sending.size() > 1 && sending.back() == 0) {
        sending.pop_back();
    }
    c.log.Expect(Rises(sending) && sending.back() > 0, "the bar moves while sending");
    c.log.Expect(Rises(view.flashPositions) && view.flashPositions.back() > 0,
                 "the bar moves again while the flash is programmed");
    c.log.Expect(view.updateDisabledThroughout, "Update disabled during the download");
    if (!c.log.Expect(view.box != nullptr, "a box ends the download")) {
        return;
    }
    const MessageBoxView box = ReadMessageBox(view.box);
    c.log.ExpectEqual(box.text, kSuccessText, "outcome message");
    c.log.ExpectEqual(box.caption, "Update", "outcome caption");
    c.log.Expect(box.okOnly && !box.icon, "success box: OK alone, no icon");
    c.shots.Take(shotPrefix + "success");
    c.log.Expect(DismissMessageBox(view.box), "the success box closes with OK");
    ExpectIdle(c, ui, "after the download");
}

void Remember(std::vector<int>& positions, int pos) {
    if (positions.empty() || positions.back() != pos) {
        positions.push_back(pos);
    }
}

std::string Join(const std::vector<int>& values) {
    std::string text;
    for (int v : values) {
        if (!text.empty()) {
            text += ' ';
        }
        text += std::to_string(v);
    }
    return text;
}
