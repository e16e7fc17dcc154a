// duvoload's output: UTF-8 text to stdout or stderr. On a console it goes out as UTF-16, so that
// every name shows as it was typed whatever the console's code page; redirected to a file or a
// pipe, the UTF-8 bytes go out as they are. Lines end in CR LF. Each call writes at once:
// nothing waits in a buffer. Calls from several threads (a gang run's sockets' relays) never
// mix within one call.
#pragma once

#include <cstddef>
#include <string>

// Progress lines go to stderr, or apart from the rest when the run is one socket of a gang.
enum class StdStream { Out, Err, Progress };

// From now on every write goes to `sink` instead, under the same lock, whichever stream it was
// meant for (one socket of a gang run hands all its lines to its parent this way). The sink
// returns false when the text could not be passed on.
using OutputSink = bool (*)(StdStream stream, const std::string& text);
void RedirectOutput(OutputSink sink);

// False when the text could not be written whole (a full disk behind a redirect, a pipe whose
// reader has gone). The first such failure is reported once, with the system's reason, on the
// other stream if it still works; from then on OutputFailed() is true.
bool WriteText(StdStream stream, const std::string& utf8);

// WriteText of `utf8` and a line end.
bool WriteLine(StdStream stream, const std::string& utf8);

// True once a write to stdout or stderr has failed: the run's record is no longer whole.
bool OutputFailed();

bool IsConsole(StdStream stream);

// Live lines: lines at the bottom of the stderr console that are redrawn in place, one per socket
// of a gang run. Whatever is written to the console while they stand goes out above them. On a
// stderr that is no console they do nothing.
void SetLiveLine(std::size_t index, const std::string& utf8);
// Leaves the live lines standing as they are; later output goes below them.
void EndLiveLines();
