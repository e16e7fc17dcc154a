// The download library calls MessageBoxA through its import pointer. This test program defines
// that pointer itself, so the library's reference resolves here instead of to user32: the box is
// recorded and answered with IDOK, as if the user had pressed OK at once.
#include "tests/wine/message_box_recorder.h"

namespace {

RecordedMessageBox g_recorded;

int WINAPI RecordMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    (void)owner;
    ++g_recorded.count;
    g_recorded.text = text != nullptr ? text : "";
    g_recorded.caption = caption != nullptr ? caption : "";
    g_recorded.style = style;
    return IDOK;
}

}  // namespace

const RecordedMessageBox& RecordedMessageBoxes() {
    return g_recorded;
}

#if defined(__i386__)
extern "C" decltype(&MessageBoxA) g_messageBoxImport asm("__imp__MessageBoxA@16");
#else
extern "C" decltype(&MessageBoxA) g_messageBoxImport asm("__imp_MessageBoxA");
#endif
decltype(&MessageBoxA) g_messageBoxImport = &RecordMessageBoxA;
