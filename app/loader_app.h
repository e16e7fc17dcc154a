// CLoaderApp: the application object; it runs the loader dialog and ends with it.
#pragma once

#include "stdafx.h"

class CLoaderApp : public CWinApp {
  public:
    CLoaderApp() = default;

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
