// The program's entry point. Compiled into every executable that links the framework (a static
// library's WinMain would be found too late by the linker), it hands over to AfxWinMain.
#include "afxwin.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
