// A measurement, not a check: the CPU time of the dialog's wait loop.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/dialog/scenarios.h"
#include "tests/loader_driver/dialog_checks.h"
#include "tests/loader_driver/virtual_card.h"

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
    c.log.Expect(box != nullptr && ReadMessageBox(box).text == kSuccessText,
                 "the 65,537-byte download succeeds");
    c.log.Expect(VirtualCard::BlockHolds(2, image), "Block 2 holds the 65,537-byte image");
    std::printf("wait-loop-cpu: elapsed_ms=%lu ui_thread_cpu_ms=%llu process_cpu_ms=%llu\n",
                static_cast<unsigned long>(elapsed), (thread1 - thread0) / 10000,
                (process1 - process0) / 10000);
    if (box != nullptr) {
        DismissMessageBox(box);
    }
    ExitLoader(c, ui);
}
