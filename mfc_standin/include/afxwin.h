// The framework's core: application, windows, dialogs, message maps, data exchange, the standard
// control wrappers, menus, device contexts, files and strings.
#pragma once

#include <windows.h>

#include "afx_string.h"
#include "afx_exception.h"
#include "afx_file.h"
#include "afx_msgmap.h"
#include "afx_cmdtarget.h"
#include "afx_wnd.h"
#include "afx_menu.h"
#include "afx_dc.h"
#include "afx_ddx.h"
#include "afx_controls.h"
#include "afx_dialog.h"
#include "afx_winapp.h"

// The framework's standard Help command.
#define ID_HELP 0xE146
