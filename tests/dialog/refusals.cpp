// What Update refuses before a download starts, and where the focus goes.
#include <windows.h>

#include <string>

#include "tests/dialog/scenarios.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

namespace {

// A file of the given length that takes no room: only its end is set.
void WriteSparseFile(const std::string& path, ULONGLONG length) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(length);
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

}  // namespace

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
    ExitLoader(c, ui);
}
