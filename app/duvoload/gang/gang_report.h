// The end of a gang run: its exit code, and the summary line that gives every socket's.
#pragma once

#include <string>
#include <vector>

// 0 when every socket wrote every block, else the code of the first socket, in the order of the
// list, that did not. The sockets end in any order; taking the list's order gives the same code
// for the same outcomes, whichever socket happened to finish first.
int GangExitCode(const std::vector<int>& socketCodes);

// "3 of 4 sockets written (socket 0: 0, socket 1: 1, socket 2: 0, socket 3: 0)": the sockets
// that wrote every block, then each socket's exit code, so that a script can tell which socket
// needs a new card.
std::string GangSummaryLine(const std::vector<unsigned>& slots,
                            const std::vector<int>& socketCodes);
