// The virtual card as a test sees it: its configuration (the driver's registry parameters, read
// at every open of the device), its block files and request trace, and its driver service.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

using CardSettings = std::vector<std::pair<std::string, DWORD>>;

class VirtualCard {
  public:
    // Replaces every parameter; takes effect at the next open of the device.
    static bool Configure(const CardSettings& settings);
    // Removes the block files, the trace and the status file.
    static void Reset();
    // The block file holds the image followed by zeros up to the next 128-byte boundary.
    static bool BlockHolds(DWORD block, const std::vector<BYTE>& image);
    static bool BlockExists(DWORD block);
    // Lines in the request trace: one per register request since the last Reset.
    static int TracedRequests();
    // A counter of the driver's status file (cumulative since the driver started), brought up
    // to date by an open of the device (counted in `opens`); -1 when it cannot be read.
    static long long CurrentCounter(const std::string& name);
    static bool StopDriver();
    static bool StartDriver();
};
