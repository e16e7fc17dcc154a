// Runs one real DownloadImage through the real driver path and reports what the loader saw:
//
//   download_e2e IMAGE_FILE BLOCK
//
// prints "result=0x........", "wm_app=N", "percent=N", "message_boxes=N", "caption=...",
// "style=0x........" and "message=..." (newlines in the text written as \n), one per line.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "download/sequence.h"
#include "tests/wine/message_box_recorder.h"
#include "tests/wine/image_file.h"

namespace {

// A message-only window stands in for the dialog: owner of the boxes, receiver of WM_APP.
HWND CreateOwnerWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "DuvoDownloadE2E";
    RegisterClassA(&windowClass);
    return CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         windowClass.hInstance, nullptr);
}

int CountPostedWmApp(HWND owner) {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, owner, WM_APP, WM_APP, PM_REMOVE)) {
        if (message.wParam == 0 && message.lParam == 0) ++count;
    }
    return count;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: download_e2e IMAGE_FILE BLOCK\n");
        return 2;
    }
    std::vector<BYTE> image;
    if (!ReadImage(argv[1], &image)) {
        std::fprintf(stderr, "download_e2e: cannot read %s\n", argv[1]);
        return 2;
    }
    HWND owner = CreateOwnerWindow();
    if (owner == nullptr) {
        std::fprintf(stderr, "download_e2e: no window [%lu]\n", GetLastError());
        return 2;
    }
    std::atomic<LONG> percent{-1};
    DWORD block = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
    DWORD result =
        DownloadImage(owner, image.data(), static_cast<DWORD>(image.size()), block, &percent);
    const RecordedMessageBox& boxes = RecordedMessageBoxes();
    std::printf("result=0x%08lX\n", result);
    std::printf("wm_app=%d\n", CountPostedWmApp(owner));
    std::printf("percent=%ld\n", percent.load());
    std::printf("message_boxes=%d\n", boxes.count);
    std::printf("caption=%s\n", boxes.caption.c_str());
    std::printf("style=0x%08X\n", boxes.style);
    std::printf("message=%s\n", Escaped(boxes.text).c_str());
    DestroyWindow(owner);
    return 0;
}
