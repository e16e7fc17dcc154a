// What a console control event asks of a run.
#pragma once

#include <windows.h>

// The count of interruptions after the console control event `type`, from `count` before it;
// -1 for an event that is not duvoload's to take. Ctrl+C and Ctrl+Break add one: the first stops
// the run after the block in progress, the second abandons that block. A closing console, a
// logoff or a shutdown abandon it at once (2): the system ends the process soon after, and only
// an abandoned block gets its result and its log line out by then.
LONG InterruptionsAfter(DWORD type, LONG count);
