// The system's own words for a Windows error code.
#pragma once

#include <windows.h>

#include <string>

// "The system cannot find the path specified. (error 3)": the system's message for `code` in
// UTF-8, followed by the code; "error 3" alone when the system has no text for it.
std::string SystemMessage(DWORD code);
