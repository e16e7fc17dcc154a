// The end of a gang run: its exit code, and the summary line that gives every socket's.
#pragma once

#include <string>
#include <vector>

#include "app/duvoload/record/block_record.h"

// 0 when every socket wrote every block, else the code of the first socket, in the order of the
// list, that did not. The sockets end in any order; taking the list's order gives the same code
// for the same outcomes, whichever socket happened to finish first.
int GangExitCode(const std::vector<int>& socketCodes);

// "3 of 4 sockets written (socket 0: 0, socket 1: 1, socket 2: 0, socket 3: 0)": the sockets
// that wrote every block, then each socket's exit code, so that a script can tell which socket
// needs a new card.
std::string GangSummaryLine(const std::vector<unsigned>& sockets,
                            const std::vector<int>& socketCodes);

// How the parent sees the end of a socket's process: ended abnormally when its code is none that
// duvoload ends with, or when it left blocks unreported without having refused its plan (Wine
// gives a killed process the code 0).
bool EndedAbnormally(unsigned long processCode, bool everyBlockReported);

// The socket's exit code: 1 when its process ended abnormally, else the process's code; a record
// of the parent's that could not be kept turns an all-written 0 into 4, and nothing else.
int SocketExitCode(unsigned long processCode, bool everyBlockReported, bool recordsKept);

// A socket's block as the gang's stdout shows it: "socket 2 block 4: written ...".
std::string GangResultLine(const BlockRecord& record);

// A line that a socket's process wrote to stderr, as the parent shows it: its own lines name the
// socket ("duvoload: socket 2: hint: ..."); the card's texts do so already ("Duvo2 ...").
std::string GangMessageLine(unsigned socket, const std::string& text);
