// Drives the real loader dialog through whole scenarios, from a second program in the same Wine
// session: it types, selects, clicks and presses keys as a user would, and checks what the
// dialog shows, what it stores in its profile and what reaches the virtual card.
//
//   dialog_test.exe SCENARIO LOADER_EXE WORK_DIR
//
// WORK_DIR (a Windows path ending in a backslash) receives the images and the screenshots.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "check_log.h"
#include "loader_ui.h"
#include "screenshot.h"
#include "virtual_card.h"

namespace {

constexpr int IDC_EXIT = 1000;
constexpr int IDC_BROWSE = 1001;
constexpr int IDC_FILE_PATH = 1002;
constexpr int IDC_UPDATE = 1003;
constexpr int IDC_MEM_BLOCK = 1011;
constexpr int IDC_STATUS = 1005;
constexpr WPARAM IDM_ABOUT_BOX = 16;
constexpr int kFileNameCombo = 0x47C;

constexpr const char kIniPath[] = "C:\\windows\\DuvoPcmciaLoader.INI";
constexpr const char kSection[] = "LastFileName";
constexpr const char kEntry[] = "DuvoPcmciaLoader";
constexpr const char kMissing[] = "<no entry>";
constexpr DWORD kBoxTimeoutMs = 60000;

struct Context {
    CheckLog& log;
    Screenshots& shots;
    std::string loaderExe;
    std::string workDir;
};

std::string StoredPath() {
    char value[1024] = {};
    GetPrivateProfileStringA(kSection, kEntry, kMissing, value, sizeof(value), kIniPath);
    return value;
}

void StorePath(const std::string& path) {
    WritePrivateProfileStringA(kSection, kEntry, path.c_str(), kIniPath);
}

// A file of the given length that takes no room: only its end is set.
void WriteSparseFile(const std::string& path, ULONGLONG length) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(length);
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

// Types into the block list's edit field as a user does, replacing its text.
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

// Checks a box of the dialog's own: caption "Update", the text, OK alone, no icon.
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

// Checks the error box the download shows from its worker: the text, the error icon, OK.
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
    c.log.ExpectEqual(ui.Text(IDC_STATUS), status, "status while the error box is up");
    c.log.Expect(!ui.Enabled(IDC_UPDATE), "Update disabled while the error box is up");
    c.shots.Take(shot);
    c.log.Expect(DismissMessageBox(box), "the error box closes with OK");
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

void Remember(std::vector<int>& positions, int pos) {
    if (positions.empty() || positions.back() != pos) {
        positions.push_back(pos);
    }
}

// With `foreign` set, a WM_APP is posted to that window (another window of the dialog's thread)
// once the bar has moved under "Downloading..".
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

void ExpectSuccessfulDownload(Context& c, LoaderUi& ui, const std::string& shotPrefix,
                              HWND foreign = nullptr) {
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
    c.log.ExpectEqual(box.text, "Data updated successfully!!!", "outcome message");
    c.log.ExpectEqual(box.caption, "Update", "outcome caption");
    c.log.Expect(box.okOnly && !box.icon, "success box: OK alone, no icon");
    c.shots.Take(shotPrefix + "success");
    c.log.Expect(DismissMessageBox(view.box), "the success box closes with OK");
    ExpectIdle(c, ui, "after the download");
}

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
        c.log.ExpectEqual(ReadMessageBox(box).text, "Data updated successfully!!!", "outcome");
        DismissMessageBox(box);
    }
    ExpectIdle(c, ui, "after the third download");
    c.log.Expect(VirtualCard::BlockHolds(3, image), "Block 3 holds the third image");
}

bool Launch(Context& c, LoaderUi& ui) {
    // The loader runs in the work directory, where the file dialog then starts.
    SetCurrentDirectoryA(c.workDir.c_str());
    return c.log.Expect(ui.Launch(c.loaderExe), "the loader's dialog appears");
}

void ExitAndExpectStored(Context& c, LoaderUi& ui, const std::string& expected) {
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(ui.WaitForExit(10000), "Exit ends the program");
    c.log.ExpectEqual(StoredPath(), expected, "stored path");
}

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

void FirstStart(Context& c) {
    DeleteFileA(kIniPath);
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
        HWND combo = FindWindowExA(GetDlgItem(open, kFileNameCombo), nullptr, "ComboBox", nullptr);
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

void Refusals(Context& c) {
    VirtualCard::Reset();
    VirtualCard::Configure({{"Trace", 1}, {"ProgrammingTimeMs", 5}});
    LoaderUi ui;
    if (!Launch(c, ui)) return;

    auto refuse = [&](const std::string& path, const std::string& message,
                      const std::string& shot) {
        SetWindowTextRemote(ui.Control(IDC_FILE_PATH), path);
        ui.FocusControl(IDC_EXIT);
        Click(ui.Control(IDC_UPDATE));
        ExpectDialogMessage(c, ui, message, shot);
        WaitFor([&] { return ui.FocusedControl() == IDC_FILE_PATH; }, 2000);
        c.log.ExpectEqual(ui.FocusedControl(), IDC_FILE_PATH, "focus after \"" + message + "\"");
        c.log.Expect(IsIdle(ui), "idle after \"" + message + "\"");
    };
    refuse("", "Please select file!", "refused-empty-path");
    const std::string missing = "Z:\\no such dir\\no such file.bin";
    refuse(missing, "Failed to open <" + missing + "> !", "refused-missing-file");
    const std::string tooLarge = c.workDir + "too large.bin";
    WriteImage(tooLarge, 917504, 2);
    refuse(tooLarge, "selected file <" + tooLarge + "> size over!", "refused-size");
    const std::string huge = c.workDir + "four gib.bin";
    WriteSparseFile(huge, 0x100000001ull);
    refuse(huge, "selected file <" + huge + "> size over!", "");
    DeleteFileA(huge.c_str());
    // A sysfs attribute claims 4096 bytes and reads far fewer.
    const std::string shortRead = "Z:\\sys\\devices\\system\\cpu\\online";
    if (GetFileAttributesA(shortRead.c_str()) != INVALID_FILE_ATTRIBUTES) {
        refuse(shortRead, "Failed to read <" + shortRead + "> !", "refused-short-read");
    } else {
        c.log.Note("no sysfs here: the short read is not exercised");
    }

    // The card's own device opens like a file but has no length: a failed read, no download.
    const long long requestsBefore = VirtualCard::CurrentCounter("requests");
    const long long opensBefore = VirtualCard::CurrentCounter("opens");
    const std::string device = "\\\\.\\duvo0";
    refuse(device, "Failed to read <" + device + "> !", "refused-device");
    c.log.ExpectEqual(VirtualCard::CurrentCounter("opens"), opensBefore + 2,
                      "opens of the card: the path box's file, then this check's");
    c.log.ExpectEqual(VirtualCard::CurrentCounter("requests"), requestsBefore,
                      "driver requests after the device path");

    const std::string image = c.workDir + "image.bin";
    WriteImage(image, 1000, 3);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), image);
    TypeBlockText(ui, "Block 1");
    c.log.ExpectEqual(ui.ComboSelection(), -1, "typing clears the block selection");
    Click(ui.Control(IDC_UPDATE));
    ExpectDialogMessage(c, ui, "Please select memory block!", "refused-block");
    WaitFor([&] { return ui.FocusedControl() == IDC_MEM_BLOCK; }, 2000);
    c.log.ExpectEqual(ui.FocusedControl(), IDC_MEM_BLOCK, "focus after the block refusal");

    c.log.ExpectEqual(VirtualCard::TracedRequests(), 0, "requests the card saw");
    c.log.Expect(!VirtualCard::BlockExists(1) && !VirtualCard::BlockExists(2), "no block written");
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(ui.WaitForExit(10000), "Exit ends the program");
}

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

    // An empty file goes to the download as it is.
    const std::string empty = c.workDir + "empty.bin";
    WriteImage(empty, 0, 6);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), empty);
    SendMessageA(ui.Control(IDC_MEM_BLOCK), CB_SETCURSEL, 1, 0);
    Click(ui.Control(IDC_UPDATE));
    HWND box = ui.WaitForOwnedDialog(kBoxTimeoutMs);
    c.log.Expect(box != nullptr,
                 "an empty file is handed to the download (its outcome box appears)");
    if (box != nullptr) {
        c.log.Note("empty file: \"" + ReadMessageBox(box).text + "\"");
        DismissMessageBox(box);
    }
    ExpectIdle(c, ui, "after the empty file");
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(ui.WaitForExit(10000), "Exit ends the program");
}

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
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(ui.WaitForExit(10000), "Exit ends the program");
}

void ExitDuringDownload(Context& c) {
    VirtualCard::Reset();
    VirtualCard::Configure({{"ProgrammingTimeMs", 1500}});
    DeleteFileA(kIniPath);
    LoaderUi ui;
    if (!Launch(c, ui)) return;
    const std::string path = c.workDir + "exit image.bin";
    const std::vector<BYTE> image = WriteImage(path, 1500, 9);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), path);
    Click(ui.Control(IDC_UPDATE));
    c.log.Expect(WaitFor([&] { return ui.Text(IDC_STATUS) == "Update flash.."; }, 30000),
                 "the download reaches the flash phase");
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(WaitFor([&] { return StoredPath() == path; }, 5000),
                 "Exit during the download stores the path at once");
    c.log.Expect(ui.IsRunning(), "the program waits for the running download");
    HWND box = ui.WaitForOwnedDialog(kBoxTimeoutMs);
    if (c.log.Expect(box != nullptr, "the running download still reports its outcome")) {
        c.log.ExpectEqual(ReadMessageBox(box).text, "Data updated successfully!!!", "outcome");
        c.shots.Take("exit-during-download-outcome");
        DismissMessageBox(box);
    }
    DWORD exitCode = 1;
    c.log.Expect(ui.WaitForExit(10000, &exitCode), "the program ends after the download");
    c.log.ExpectEqual(exitCode, 0, "exit code");
    c.log.Expect(VirtualCard::BlockHolds(2, image), "Block 2 holds the image");
}

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
        HWND combo = FindWindowExA(GetDlgItem(open, kFileNameCombo), nullptr, "ComboBox", nullptr);
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
        c.log.ExpectEqual(ReadMessageBox(outcome).text, "Data updated successfully!!!", "outcome");
        DismissMessageBox(outcome);
    }
    c.log.Expect(VirtualCard::BlockHolds(2, cafeImage), "Block 2 holds caf\xE9.bin");
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(ui.WaitForExit(10000), "Exit ends the program");
}

// The console loader of the same build: beside the loader, in duvoload\.
struct CommandLineRun {
    PROCESS_INFORMATION process{};
    std::string out;
    std::string err;
};

bool StartDuvoload(Context& c, const std::string& name, const std::string& args,
                   CommandLineRun* run) {
    const std::string exe =
        c.loaderExe.substr(0, c.loaderExe.find_last_of('\\') + 1) + "duvoload\\duvoload.exe";
    run->out = c.workDir + name + ".out";
    run->err = c.workDir + name + ".err";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto create = [&](const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, CREATE_ALWAYS, 0, nullptr);
    };
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = create(run->out);
    startup.hStdError = create(run->err);
    std::string commandLine = "\"" + exe + "\" " + args;
    const BOOL started = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &run->process);
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    return c.log.Expect(started != FALSE, "duvoload starts: " + commandLine);
}

std::string FileText(const std::string& path) {
    std::vector<BYTE> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    char buffer[4096];
    DWORD read = 0;
    std::string text;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    CloseHandle(file);
    return text;
}

DWORD WaitForDuvoload(CommandLineRun& run) {
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(run.process.hProcess, 120000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(run.process.hProcess, &code);
    } else {
        TerminateProcess(run.process.hProcess, 1);
    }
    CloseHandle(run.process.hThread);
    CloseHandle(run.process.hProcess);
    return code;
}

// One program per socket, between the dialog and the console loader, either way round: the one
// that comes second is refused before it opens the card, the first writes its block undisturbed.
void SocketInUse(Context& c) {
    VirtualCard::Reset();
    VirtualCard::Configure({{"ProgrammingTimeMs", 5}});
    LoaderUi ui;
    if (!Launch(c, ui)) return;
    const std::string cliPath = c.workDir + "command line.bin";
    const std::vector<BYTE> cliImage = WriteImage(cliPath, 20000, 51);
    const std::string dialogPath = c.workDir + "dialog.bin";
    const std::vector<BYTE> dialogImage = WriteImage(dialogPath, 1000, 52);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), dialogPath);
    SendMessageA(ui.Control(IDC_MEM_BLOCK), CB_SETCURSEL, 0, 0);

    CommandLineRun writer;
    if (!StartDuvoload(c, "writer", "\"5=" + cliPath + "\"", &writer)) return;
    c.log.Expect(
        WaitFor(
            [&] { return FileText(writer.err).find("block 5: sending 10%") != std::string::npos; },
            60000),
        "the command line is sending block 5");
    Click(ui.Control(IDC_UPDATE));
    ExpectDownloadError(c, ui, "Duvo0 is in use by another program [000000AA]\n", "Downloading..",
                        "socket-in-use");
    ExpectIdle(c, ui, "after the socket in use");
    c.log.ExpectEqual(WaitForDuvoload(writer), 0, "the command line's exit code");
    const std::string out = FileText(writer.out);
    c.log.Expect(out.rfind("block 5: written 20000 bytes in ", 0) == 0,
                 "the command line wrote block 5: " + out);
    c.log.Expect(VirtualCard::BlockHolds(5, cliImage), "Block 5 holds the command line's image");
    c.log.Expect(!VirtualCard::BlockExists(2), "the dialog wrote nothing");

    VirtualCard::Configure({{"ProgrammingTimeMs", 2500}});
    Click(ui.Control(IDC_UPDATE));
    c.log.Expect(WaitFor([&] { return ui.Text(IDC_STATUS) == "Update flash.."; }, 30000),
                 "the dialog's download reaches the flash phase");
    CommandLineRun second;
    if (StartDuvoload(c, "second", "--quiet \"3=" + cliPath + "\"", &second)) {
        c.log.ExpectEqual(WaitForDuvoload(second), 5, "exit code of the command line refused");
        c.log.ExpectEqual(FileText(second.out),
                          "block 3: failed [000000AA] Duvo0 is in use by another program\r\n",
                          "its stdout");
    }
    HWND box = ui.WaitForOwnedDialog(kBoxTimeoutMs);
    if (c.log.Expect(box != nullptr, "the dialog's download reports its outcome")) {
        c.log.ExpectEqual(ReadMessageBox(box).text, "Data updated successfully!!!", "outcome");
        DismissMessageBox(box);
    }
    c.log.Expect(VirtualCard::BlockHolds(2, dialogImage), "Block 2 holds the dialog's image");
    c.log.Expect(!VirtualCard::BlockExists(3), "the refused command line wrote nothing");
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(ui.WaitForExit(10000), "Exit ends the program");
}

// Not a check: the CPU time the dialog's wait loop spends during one 65,537-byte download.
void WaitLoopCpu(Context& c) {
    VirtualCard::Reset();
    VirtualCard::Configure({{"ProgrammingTimeMs", 5}});
    LoaderUi ui;
    if (!Launch(c, ui)) return;
    const std::string path = c.workDir + "cpu image.bin";
    const std::vector<BYTE> image = WriteImage(path, 65537, 10);
    SetWindowTextRemote(ui.Control(IDC_FILE_PATH), path);
    Sleep(500);
    const ULONGLONG process0 = ui.CpuTime100ns();
    const ULONGLONG thread0 = ui.MainThreadCpuTime100ns();
    const DWORD start = GetTickCount();
    Click(ui.Control(IDC_UPDATE));
    HWND box = ui.WaitForOwnedDialog(300000);
    const DWORD elapsed = GetTickCount() - start;
    const ULONGLONG process1 = ui.CpuTime100ns();
    const ULONGLONG thread1 = ui.MainThreadCpuTime100ns();
    c.log.Expect(box != nullptr && ReadMessageBox(box).text == "Data updated successfully!!!",
                 "the 65,537-byte download succeeds");
    c.log.Expect(VirtualCard::BlockHolds(2, image), "Block 2 holds the 65,537-byte image");
    std::printf("wait-loop-cpu: elapsed_ms=%lu ui_thread_cpu_ms=%llu process_cpu_ms=%llu\n",
                static_cast<unsigned long>(elapsed), (thread1 - thread0) / 10000,
                (process1 - process0) / 10000);
    if (box != nullptr) {
        DismissMessageBox(box);
    }
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(ui.WaitForExit(10000), "Exit ends the program");
}

// The headless `make run`: one whole download of a sample image into Block 2, narrated.
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
    c.log.Expect(view.text == "Data updated successfully!!!" && same, "the block holds the image");
    Click(ui.Control(IDC_EXIT));
    c.log.Expect(ui.WaitForExit(10000), "Exit ends the program");
}

}  // namespace

int main(int argc, char** argv) {
    const std::map<std::string, std::function<void(Context&)>> scenarios = {
        {"first-start", FirstStart},     {"closing", Closing},
        {"refusals", Refusals},          {"download", Download},
        {"failures", Failures},          {"exit-during-download", ExitDuringDownload},
        {"wait-loop-cpu", WaitLoopCpu},  {"headless-run", HeadlessRun},
        {"unicode-names", UnicodeNames}, {"socket-in-use", SocketInUse},
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
