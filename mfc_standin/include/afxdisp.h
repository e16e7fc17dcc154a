// Automation and OLE controls.
#pragma once

#include "afxwin.h"

// Lets dialogs host OLE controls. The layer hosts none, so there is nothing to set up.
void AfxEnableControlContainer();
