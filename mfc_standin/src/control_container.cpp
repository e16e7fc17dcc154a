#include "afxdisp.h"

void AfxEnableControlContainer() {}
