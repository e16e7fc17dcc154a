// Resource identifiers of the loader: dialogs, controls, the string, the icon, the menu command.
#pragma once

#define IDM_ABOUT_BOX 0x0010
#define IDD_ABOUT_BOX 100
#define IDS_ABOUT_BOX 101
#define IDD_LOADER_DIALOG 102
#define IDR_MAIN_ICON 128
#define IDC_EXIT 1000
#define IDC_BROWSE 1001
#define IDC_FILE_PATH 1002
#define IDC_UPDATE 1003
#define IDC_PROGRESS 1004
#define IDC_STATUS 1005
#define IDC_MEM_BLOCK 1011
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
