// The dialog and the console loader on one socket.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/dialog/scenarios.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

namespace {

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
    if (WaitForSingleObject(run.process.hProcess, kBoxTimeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(run.process.hProcess, &code);
    } else {
        TerminateProcess(run.process.hProcess, 1);
    }
    CloseHandle(run.process.hThread);
    CloseHandle(run.process.hProcess);
    return code;
}

}  // namespace

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
            kBoxTimeoutMs),
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
    c.log.Expect(WaitFor([&] { return ui.Text(IDC_STATUS) == "Update flash.."; }, kBoxTimeoutMs),
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
        c.log.ExpectEqual(ReadMessageBox(box).text, kSuccessText, "outcome");
        DismissMessageBox(box);
    }
    c.log.Expect(VirtualCard::BlockHolds(2, dialogImage), "Block 2 holds the dialog's image");
    c.log.Expect(!VirtualCard::BlockExists(3), "the refused command line wrote nothing");
    ExitLoader(c, ui);
}
