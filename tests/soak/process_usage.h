// What Wine keeps of another process, read from outside it: handles, GUI objects, private
// bytes, working set; and the processes running a program.
#pragma once

#include <windows.h>

#include <vector>

// -1 where Wine does not report the figure.
struct Usage {
    long long handles = -1;
    long long gdiObjects = -1;
    long long userObjects = -1;
    long long privateBytes = -1;
    long long workingSet = -1;
    long long peakWorkingSet = -1;
};

// The user objects and private bytes are read only from a process of this program's bitness.
Usage Sample(DWORD pid, bool sameBitness);
// What Wine's own calls report for another process, printed once for the record.
void PrintWineReport(DWORD pid);
// Toolhelp's process list: the ids of the processes running `exe`.
std::vector<DWORD> ProcessesNamed(const char* exe);
