// The framework headers every source of the loader includes.
#pragma once

#include <afxwin.h>   // core classes
#include <afxdisp.h>  // OLE control containment
#include <afxdlgs.h>  // common dialogs
#include <afxcmn.h>   // common controls
