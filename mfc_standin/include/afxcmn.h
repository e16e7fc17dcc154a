// Wrappers of the common controls: the progress bar.
#pragma once

#include "afxwin.h"

#include <commctrl.h>

class CProgressCtrl : public CWnd {
  public:
    void SetRange(short nLower, short nUpper);
    int SetPos(int nPos);
};
